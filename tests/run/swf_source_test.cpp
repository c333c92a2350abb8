#include "run/swf_source.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "media/source_item.h"
#include "support/test_support.h"

namespace torvane {
namespace {

TEST(SwfToolOutput, SwfdumpPiecesSetTheMovieFacts) {
    const SwfInfo info = parseSwfdumpOutput("-X 550 -Y 400 -f 120 -r 24.00\n");
    EXPECT_EQ(info.width, "550");
    EXPECT_EQ(info.height, "400");
    EXPECT_EQ(info.frameCount, "120");
    EXPECT_EQ(info.frameRate, "24.00");

    // A later piece wins; pieces of one word and unknown names are passed over.
    const SwfInfo later = parseSwfdumpOutput("-X 550 -Y\t400 -q 1 -X 640\r\n -f");
    EXPECT_EQ(later.width, "640");
    EXPECT_EQ(later.frameCount, "");

    // Ten characters or fewer say nothing.
    EXPECT_EQ(parseSwfdumpOutput("-X 5 -Y 4").width, "");
}

TEST(SwfToolOutput, ListingLinesGiveTheSoundIdsWithoutBlanks) {
    const SwfSoundList sounds = parseSwfextractListing(
        "Objects in file movie.swf:\n"
        " [-i] 1 Shape: ID(s) 1\n"
        " [-s] 2 Sounds: ID(s) 5, 7\n"
        " [-M] 2 MP3 Sounds: ID(s) 9, 11\n"
        " [-m] 1 MP3 Soundstream\n");
    EXPECT_EQ(sounds.sounds, "5,7");
    EXPECT_EQ(sounds.mp3Sounds, "9,11");
    EXPECT_EQ(firstSoundId(sounds.mp3Sounds), "9");
    EXPECT_EQ(firstSoundId("12"), "12");

    const SwfSoundList none = parseSwfextractListing("Objects in file movie.swf:\n [-m] 1 MP3 Soundstream\n");
    EXPECT_EQ(none.sounds, "");
    EXPECT_EQ(none.mp3Sounds, "");
}

// Restores an environment variable when the test ends.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A runtime folder of the test's own, its name with a dash and a blank: flashgrab takes its
// arguments whole, so such a path is as good as any.
class RuntimeFolder {
public:
    RuntimeFolder() : path_("/tmp/torvane run-time.XXXXXX") { EXPECT_NE(::mkdtemp(path_.data()), nullptr); }
    ~RuntimeFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(SwfWorkFolder, IsPrivateInTheRuntimeFolderWhateverItsName) {
    const RuntimeFolder runtimeFolder;
    const std::string& runtime = runtimeFolder.path();
    const ScopedEnvironment environment("XDG_RUNTIME_DIR", runtime);
    const std::string work = swfWorkFolder();
    EXPECT_EQ(work, runtime + "/torvane");
    struct stat info {};
    ASSERT_EQ(::stat(work.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(SwfFrameSpan, ARangeBecomesTheFramesWhoseTimesLieInIt) {
    SourceItem item;
    item.media.videoFrameRate = "24.00";
    item.media.videoFrameCount = "72";
    EXPECT_EQ(swfFrameSpan(item).first, 1);
    EXPECT_EQ(swfFrameSpan(item).last, 72);
    item.rangeStartSeconds = 2.0;
    item.rangeEndSeconds = 2.5;
    EXPECT_EQ(swfFrameSpan(item).first, 49);  // 48 / 24 = 2.0 s
    EXPECT_EQ(swfFrameSpan(item).last, 60);
    EXPECT_EQ(swfFrameSpan(item).count(), 12);
    // An end of 0 is the movie's end; an end past it is cut to it.
    item.rangeEndSeconds = 0;
    EXPECT_EQ(swfFrameSpan(item).last, 72);
    item.rangeEndSeconds = 10;
    EXPECT_EQ(swfFrameSpan(item).last, 72);
}

TEST(SwfWorkFolder, AFolderOthersMayEnterIsRefused) {
    const RuntimeFolder runtimeFolder;
    const std::string& runtime = runtimeFolder.path();
    ::mkdir((runtime + "/torvane").c_str(), 0777);
    ::chmod((runtime + "/torvane").c_str(), 0777);
    const ScopedEnvironment environment("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(swfWorkFolder(), "");
}

}  // namespace
}  // namespace torvane
