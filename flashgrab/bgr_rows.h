#pragma once

#include <cstdint>

namespace flashgrab {

// One row of cairo's native-endian ARGB32 pixels as the 3-byte BGR the pipe carries (the alpha
// dropped: the stage is opaque).
void argbRowToBgr(const std::uint32_t* row, int width, std::uint8_t* out);

}  // namespace flashgrab
