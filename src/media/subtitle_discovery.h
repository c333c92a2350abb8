#pragma once

#include <string>

namespace torvane {

// The subtitle beside the source (only the last extension of the source is replaced): the first
// of stem.smi, .SMI, .srt, .SRT, .ssa, .SSA that exists; else, without regard to case, stem with
// .smi, .srt, .ass, .ssa or .vtt, then with a Korean language tag before them (".ko", ".kor",
// ".korean", in that order); the empty text when there is none.
std::string findSubtitleFile(const std::string& sourcePath);

}  // namespace torvane
