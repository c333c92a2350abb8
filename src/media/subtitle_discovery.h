#pragma once

#include <string>

namespace torvane {

// The subtitle beside the source (only the last extension of the source is replaced): the first
// of stem.smi, .SMI, .srt, .SRT, .ssa, .SSA that exists; else, without regard to case, stem with
// .smi, .srt, .ass, .ssa or .vtt, then with a Korean language tag before them (".ko", ".kor",
// ".korean", in that order); the empty text when there is none.
std::string findSubtitleFile(const std::string& sourcePath);

// The character set a subtitle file is written in, as encoders name it: a byte-order mark
// (UTF-8, UTF-16LE, UTF-16BE), else UTF-8 when its bytes are valid UTF-8 and not all ASCII, else
// `assumed` (the preset's "sub_subcp", CP949 for most Korean files); `assumed` also when the file
// cannot be read.
std::string subtitleCharacterSet(const std::string& path, const std::string& assumed);

}  // namespace torvane
