#pragma once

#include <string>

namespace torvane {

// The first of stem.smi, .SMI, .srt, .SRT, .ssa, .SSA that exists beside the source (only the
// last extension of the source is replaced); the empty text when there is none.
std::string findSubtitleFile(const std::string& sourcePath);

}  // namespace torvane
