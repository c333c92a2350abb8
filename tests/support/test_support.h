#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace torvane::test {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // path()/name
    std::string operator/(const std::string& name) const;

private:
    std::string path_;
};

// Writes the bytes to path (creating parent folders); fails the test when it cannot.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

struct ProgramResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell), collecting its standard output and error.
// extraEnvironment entries are NAME=VALUE texts added to the current environment.
ProgramResult runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment = {});

// Makes a small H.264 + AAC MP4 clip with ffmpeg's test picture and a sine tone: `seconds` long,
// of `size` pixels at `rate` frames a second, with a key frame every second when asked (a player
// can only seek to key frames).
ProgramResult makeClip(const std::string& path, double seconds, const std::string& size = "64x48", int rate = 5,
                       bool keyFrameEverySecond = false);

// True when the process has ended: gone from /proc, or a zombie waiting for its parent.
bool processEnded(int pid);
// The state letter of a process ('T' while stopped) and the processor ticks it has used (user
// and system), from /proc; '?' and -1 when it is gone.
std::pair<char, long long> processStateAndTicks(int pid);
// Looks again every 10 ms until the process has ended; false when it still runs after `limit`.
bool processEndsWithin(int pid, std::chrono::milliseconds limit);

// The ids of the processes whose parent is `parent`, read from /proc.
std::vector<int> childProcessIds(int parent);

// Paths of the source tree, the build folder (the program folder) and the shared corpus of
// other people's media and SWF files: $TORVANE_CORPUS_DIR when set (pointing it at a missing
// folder runs the suite as a bare clone would), else ../shared/corpus beside the source tree.
std::string sourceDir();
std::string buildDir();
std::string corpusDir();

// Whether the corpus is here, and whether its absence is a failure (TORVANE_REQUIRE_CORPUS=1,
// which CI sets so that no corpus test goes quietly unrun).
bool corpusAvailable();
bool corpusRequired();
inline constexpr const char* kCorpusMissing = "needs the shared corpus, which is not here";

// A generated media file (tests/fixtures/generate_media.sh) in the build folder's test-media,
// generated on first use when the CTest fixture has not made it yet.
std::string testMedia(const std::string& name);

}  // namespace torvane::test

// The first line of a test (or of its fixture's SetUp) that reads the corpus: without it the
// test skips with one line, or fails when the corpus is required.
#define TORVANE_NEEDS_CORPUS()                                                                      \
    do {                                                                                            \
        if (!::torvane::test::corpusAvailable()) {                                                  \
            if (::torvane::test::corpusRequired()) GTEST_FAIL() << ::torvane::test::kCorpusMissing; \
            GTEST_SKIP() << ::torvane::test::kCorpusMissing;                                        \
        }                                                                                           \
    } while (false)
