#pragma once

#include <cstdint>
#include <vector>

namespace flashgrab {

// A decoded picture: premultiplied ARGB32 in native byte order (the layout of cairo's
// CAIRO_FORMAT_ARGB32), rows from top to bottom, no padding between rows.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // width * height values
};

}  // namespace flashgrab
