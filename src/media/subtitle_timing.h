#pragma once

#include <string>
#include <string_view>

namespace torvane {

// Moves every cue of a subtitle written by ffmpeg (SRT, or ASS "Dialogue:" lines) to the output's
// clock: a cue at t shows at (t + shiftSeconds) / speed. The shift is the subtitle delay less the
// start of the converted range; the speed is the playing speed (1 when the picture's own clock
// is kept). Cues that end before 0 are left out, one that straddles 0 starts at 0, and SRT cues
// are numbered again. Lines it does not recognise are kept as they are.
std::string retimeSrt(std::string_view srt, double shiftSeconds, double speed);
std::string retimeAss(std::string_view ass, double shiftSeconds, double speed);

}  // namespace torvane
