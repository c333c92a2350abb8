#pragma once

#include <optional>
#include <string>

namespace flashgrab {

enum class Quality { High, Low };

struct Options {
    std::string moviePath;
    std::string pipeId;
    std::string width, height;  // as written; checked when converted
    Quality quality = Quality::High;
    bool trace = false;  // -trace: the movie's trace() output goes to standard error
};

// Splits at every "-" into pieces and each piece at blanks; a piece's first word names the option and its
// second word is the value. Later occurrences win; unknown options are ignored. "-trace" alone is a switch.
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
