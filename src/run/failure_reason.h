#pragma once

#include <string>
#include <string_view>

namespace torvane {

// Why an encoder run failed, in words a person can act on, from the last of what it printed
// (ffmpeg's standard error, mencoder's output) and its exit status (128 + N for signal N).
//
// The common causes are named in Korean with the encoder's own line in parentheses: a full
// disk, a missing write permission, a damaged input, an output that cannot be made. Otherwise
// it is the encoder's telling line itself, the first error it gave rather than the statistics
// and closing lines that follow it; an encoder killed by a signal says so. With nothing telling:
// "<encoderName> 종료 코드 N", or empty when the exit status was 0 (the caller knows why it
// judged the item failed).
std::string explainEncoderFailure(std::string_view outputTail, int exitStatus, std::string_view encoderName);

}  // namespace torvane
