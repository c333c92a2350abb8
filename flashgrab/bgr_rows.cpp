#include "flashgrab/bgr_rows.h"

#include "flashgrab/wide_loops.h"

namespace flashgrab {

FLASHGRAB_WIDE void argbRowToBgr(const std::uint32_t* row, int width, std::uint8_t* out) {
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = row[x];
        out[3 * x] = static_cast<std::uint8_t>(p);
        out[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
        out[3 * x + 2] = static_cast<std::uint8_t>(p >> 16);
    }
}

}  // namespace flashgrab
