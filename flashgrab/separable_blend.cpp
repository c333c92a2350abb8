#include "flashgrab/separable_blend.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "flashgrab/wide_loops.h"

namespace flashgrab {
namespace {

// pixman's rounding division of a product of two 8-bit values by 255.
inline std::uint32_t divideBy255(std::uint32_t x) {
    return (x + 0x80 + ((x + 0x80) >> 8)) >> 8;
}

// Each returns the blend term of one channel, premultiplied twice (0..255 * 255): d and s are the
// premultiplied channel values, da and sa their alphas.
struct Multiply {
    static std::int32_t term(std::int32_t d, std::int32_t da, std::int32_t s, std::int32_t sa) {
        (void)da;
        (void)sa;
        return s * d;
    }
};
struct Screen {
    static std::int32_t term(std::int32_t d, std::int32_t da, std::int32_t s, std::int32_t sa) {
        return s * da + d * sa - s * d;
    }
};
struct Lighten {
    static std::int32_t term(std::int32_t d, std::int32_t da, std::int32_t s, std::int32_t sa) {
        return std::max(s * da, d * sa);
    }
};
struct Darken {
    static std::int32_t term(std::int32_t d, std::int32_t da, std::int32_t s, std::int32_t sa) {
        return std::min(s * da, d * sa);
    }
};
struct Difference {
    static std::int32_t term(std::int32_t d, std::int32_t da, std::int32_t s, std::int32_t sa) {
        const std::int32_t das = d * sa, sad = s * da;
        return das > sad ? das - sad : sad - das;
    }
};
struct Overlay {
    static std::int32_t term(std::int32_t d, std::int32_t da, std::int32_t s, std::int32_t sa) {
        return 2 * d < da ? 2 * s * d : sa * da - 2 * (da - d) * (sa - s);
    }
};
struct HardLight {
    static std::int32_t term(std::int32_t d, std::int32_t da, std::int32_t s, std::int32_t sa) {
        return 2 * s < sa ? 2 * s * d : sa * da - 2 * (da - d) * (sa - s);
    }
};

// Where the layer's rows lie over the target's.
struct Rows {
    unsigned char* target;
    int targetStride;
    const unsigned char* source;
    int sourceStride;
    long dx, dy, x0, x1, y0, y1;
};

// Straight-line work on whole pixels, so that the compiler can do several at once.
template <typename Mode>
[[gnu::always_inline]] inline void compositeRows(const Rows& r) {
    for (long y = r.y0; y < r.y1; ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(r.source + y * r.sourceStride);
        auto* out = reinterpret_cast<std::uint32_t*>(r.target + (y + r.dy) * r.targetStride) + r.dx;
        for (long x = r.x0; x < r.x1; ++x) {
            // A clear layer pixel comes out as what is below, exactly.
            const std::uint32_t s = in[x];
            const std::uint32_t d = out[x];
            const auto sa = static_cast<std::int32_t>(s >> 24), da = static_cast<std::int32_t>(d >> 24);
            const std::int32_t isa = 255 - sa, ida = 255 - da;
            std::uint32_t result = divideBy255(static_cast<std::uint32_t>(da * 255 + sa * 255 - sa * da)) << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                const auto sc = static_cast<std::int32_t>((s >> shift) & 0xFF);
                const auto dc = static_cast<std::int32_t>((d >> shift) & 0xFF);
                const std::int32_t sum = std::clamp(isa * dc + ida * sc + Mode::term(dc, da, sc, sa), 0, 255 * 255);
                result |= divideBy255(static_cast<std::uint32_t>(sum)) << shift;
            }
            out[x] = result;
        }
    }
}

FLASHGRAB_WIDE void multiplyRows(const Rows& r) {
    compositeRows<Multiply>(r);
}
FLASHGRAB_WIDE void screenRows(const Rows& r) {
    compositeRows<Screen>(r);
}
FLASHGRAB_WIDE void lightenRows(const Rows& r) {
    compositeRows<Lighten>(r);
}
FLASHGRAB_WIDE void darkenRows(const Rows& r) {
    compositeRows<Darken>(r);
}
FLASHGRAB_WIDE void differenceRows(const Rows& r) {
    compositeRows<Difference>(r);
}
FLASHGRAB_WIDE void overlayRows(const Rows& r) {
    compositeRows<Overlay>(r);
}
FLASHGRAB_WIDE void hardLightRows(const Rows& r) {
    compositeRows<HardLight>(r);
}

}  // namespace

bool compositeSeparable(cairo_surface_t* target, cairo_surface_t* source, SeparableBlend blend) {
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_surface_get_type(source) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32 ||
        cairo_image_surface_get_format(source) != CAIRO_FORMAT_ARGB32)
        return false;
    cairo_surface_flush(target);
    cairo_surface_flush(source);
    unsigned char* dst = cairo_image_surface_get_data(target);
    const unsigned char* src = cairo_image_surface_get_data(source);
    if (!dst || !src) return false;
    double tdx = 0, tdy = 0, sdx = 0, sdy = 0;
    cairo_surface_get_device_offset(target, &tdx, &tdy);
    cairo_surface_get_device_offset(source, &sdx, &sdy);
    // Source pixel (x, y) lies over target pixel (x + dx, y + dy).
    const long dx = std::lround(tdx - sdx), dy = std::lround(tdy - sdy);
    const int tw = cairo_image_surface_get_width(target), th = cairo_image_surface_get_height(target);
    const int sw = cairo_image_surface_get_width(source), sh = cairo_image_surface_get_height(source);
    const int tstride = cairo_image_surface_get_stride(target), sstride = cairo_image_surface_get_stride(source);
    const long y0 = std::max(0L, -dy), y1 = std::min(static_cast<long>(sh), th - dy);
    const long x0 = std::max(0L, -dx), x1 = std::min(static_cast<long>(sw), tw - dx);
    const Rows rows{dst, tstride, src, sstride, dx, dy, x0, x1, y0, y1};
    switch (blend) {
        case SeparableBlend::Multiply:
            multiplyRows(rows);
            break;
        case SeparableBlend::Screen:
            screenRows(rows);
            break;
        case SeparableBlend::Lighten:
            lightenRows(rows);
            break;
        case SeparableBlend::Darken:
            darkenRows(rows);
            break;
        case SeparableBlend::Difference:
            differenceRows(rows);
            break;
        case SeparableBlend::Overlay:
            overlayRows(rows);
            break;
        case SeparableBlend::HardLight:
            hardLightRows(rows);
            break;
    }
    cairo_surface_mark_dirty(target);
    return true;
}

}  // namespace flashgrab
