#pragma once

#include <optional>
#include <string>
#include <vector>

namespace flashgrab {

enum class Quality { High, Low };

struct Options {
    std::string moviePath;
    std::string pipeId;
    std::string width, height;  // as written; checked when converted
    Quality quality = Quality::High;
    // The frames sent, counted from 1: the ones before firstFrame are played (timeline and scripts
    // move on) but not sent; lastFrame 0 is the movie's last.
    int firstFrame = 1;
    int lastFrame = 0;
    bool trace = false;  // -trace: the movie's trace() output goes to standard error
};

// The options as separate arguments ("-file", path, "-p", id, ...): a value is taken whole, so any
// path works; "-trace" alone is a switch. A single argument holding the whole line ("-file a.swf
// -p 7 ...") is read as parseCommandLine reads it, for callers that still pass one string. Later
// occurrences win; unknown options are ignored.
Options parseArguments(const std::vector<std::string>& arguments);

// The older form: splits at every "-" into pieces and each piece at blanks; a piece's first word names the option and
// its second word is the value. Later occurrences win; unknown options are ignored. "-trace" alone is a switch.
Options parseCommandLine(const std::string& line);

// The frame size when both values are decimal numbers within what we can allocate; nullopt otherwise.
struct FrameSize {
    int width = 0, height = 0;
};
std::optional<FrameSize> frameSizeOf(const Options& options);

// Largest accepted frame side and area: a forged size must not make us allocate gigabytes.
inline constexpr int kMaxFrameSide = 16384;
inline constexpr long kMaxFramePixels = 8192L * 8192L;

}  // namespace flashgrab
