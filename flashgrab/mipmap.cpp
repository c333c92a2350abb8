#include "flashgrab/mipmap.h"

#include <cmath>
#include <cstdint>

namespace flashgrab {

int mipmapLevel(double scale, int width, int height) {
    if (!(scale > 0) || scale >= 0.5) return 0;
    int level = static_cast<int>(std::floor(std::log2(1 / scale)));
    // No halving past a single pixel.
    while (level > 0 && ((width >> level) < 1 || (height >> level) < 1)) --level;
    return level;
}

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
        // The last row of an odd height has no row below: it is averaged with itself.
        const auto* bottom =
            2 * y + 1 < height
                ? reinterpret_cast<const std::uint32_t*>(in + static_cast<std::ptrdiff_t>(2 * y + 1) * inStride)
                : top;
        const int rowsCovered = 2 * y + 1 < height ? 2 : 1;
        for (int x = 0; x < outWidth; ++x) {
            const int sx = 2 * x;
            const bool pair = sx + 1 < width;
            const std::uint32_t count = static_cast<std::uint32_t>(rowsCovered * (pair ? 2 : 1));
            std::uint32_t pixel = 0;
            for (int c = 0; c < 32; c += 8) {
                std::uint32_t sum = ((top[sx] >> c) & 0xFF) + (pair ? (top[sx + 1] >> c) & 0xFF : 0);
                if (rowsCovered == 2) sum += ((bottom[sx] >> c) & 0xFF) + (pair ? (bottom[sx + 1] >> c) & 0xFF : 0);
                pixel |= ((sum + count / 2) / count) << c;
            }
            row[x] = pixel;
        }
    }
    cairo_surface_mark_dirty(out);
    return out;
}

}  // namespace flashgrab
