#include "flashgrab/mipmap.h"

#include <cmath>
#include <cstdint>

#include "flashgrab/wide_loops.h"

namespace flashgrab {

int mipmapLevel(double scale, int width, int height) {
    if (!(scale > 0) || scale >= 0.5) return 0;
    int level = static_cast<int>(std::floor(std::log2(1 / scale)));
    // No halving past a single pixel.
    while (level > 0 && ((width >> level) < 1 || (height >> level) < 1)) --level;
    return level;
}

namespace {

// The rounded mean of the pixels of one block, of one or two rows and columns, channel by channel.
std::uint32_t blockMean(const std::uint32_t* top, const std::uint32_t* bottom, int sx, bool pair) {
    const std::uint32_t count = (bottom ? 2u : 1u) * (pair ? 2u : 1u);
    std::uint32_t pixel = 0;
    for (int c = 0; c < 32; c += 8) {
        std::uint32_t sum = ((top[sx] >> c) & 0xFF) + (pair ? (top[sx + 1] >> c) & 0xFF : 0);
        if (bottom) sum += ((bottom[sx] >> c) & 0xFF) + (pair ? (bottom[sx + 1] >> c) & 0xFF : 0);
        pixel |= ((sum + count / 2) / count) << c;
    }
    return pixel;
}

// The same for whole 2 x 2 blocks, two channels at a time in the halves of a word (four 8-bit
// values and the rounding fit in 16 bits): a photo's first halving is millions of them.
FLASHGRAB_WIDE void halveRowPair(const std::uint32_t* top, const std::uint32_t* bottom, int blocks,
                                 std::uint32_t* out) {
    constexpr std::uint32_t kEven = 0x00FF00FF, kHalf = 0x00020002;
    for (int x = 0; x < blocks; ++x) {
        const std::uint32_t a = top[2 * x], b = top[2 * x + 1], c = bottom[2 * x], d = bottom[2 * x + 1];
        const std::uint32_t even = (a & kEven) + (b & kEven) + (c & kEven) + (d & kEven) + kHalf;
        const std::uint32_t odd =
            ((a >> 8) & kEven) + ((b >> 8) & kEven) + ((c >> 8) & kEven) + ((d >> 8) & kEven) + kHalf;
        out[x] = ((even >> 2) & kEven) | (((odd >> 2) & kEven) << 8);
    }
}

}  // namespace

cairo_surface_t* halvedSurface(cairo_surface_t* source) {
    int width = cairo_image_surface_get_width(source), height = cairo_image_surface_get_height(source);
    int outWidth = (width + 1) / 2, outHeight = (height + 1) / 2;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, outWidth, outHeight);
    cairo_surface_flush(source);
    const unsigned char* in = cairo_image_surface_get_data(source);
    unsigned char* dst = cairo_image_surface_get_data(out);
    if (!in || !dst || cairo_image_surface_get_format(source) != CAIRO_FORMAT_ARGB32) return out;
    int inStride = cairo_image_surface_get_stride(source), outStride = cairo_image_surface_get_stride(out);
    for (int y = 0; y < outHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * outStride);
        const auto* top = reinterpret_cast<const std::uint32_t*>(in + static_cast<std::ptrdiff_t>(2 * y) * inStride);
        // The last row of an odd height has no row below, nor the last column of an odd width a
        // column beside it: they are averaged over what there is.
        const auto* bottom =
            2 * y + 1 < height
                ? reinterpret_cast<const std::uint32_t*>(in + static_cast<std::ptrdiff_t>(2 * y + 1) * inStride)
                : nullptr;
        int x = 0;
        if (bottom) {
            halveRowPair(top, bottom, width / 2, row);
            x = width / 2;
        }
        for (; x < outWidth; ++x) row[x] = blockMean(top, bottom, 2 * x, 2 * x + 1 < width);
    }
    cairo_surface_mark_dirty(out);
    return out;
}

}  // namespace flashgrab
