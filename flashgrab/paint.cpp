#include "flashgrab/paint.h"

#include <algorithm>
#include <cmath>

#include "flashgrab/mipmap.h"

namespace flashgrab {
namespace {

// SWF gradients span -16384..16384 gradient units before their matrix is applied. Patterns use a unit
// square instead, scaled into the matrix: pixman keeps pattern coordinates in 16.16 fixed point, which
// the raw units overflow.
constexpr double kGradientHalf = 16384;
// Stops added between two authored ones to approximate interpolation in linear light.
constexpr int kLinearRgbSteps = 8;

double toLinear(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double toSrgb(double c) {
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

void addStop(cairo_pattern_t* pattern, double offset, Rgba c) {
    cairo_pattern_add_color_stop_rgba(pattern, std::clamp(offset, 0.0, 1.0), c.r / 255.0, c.g / 255.0, c.b / 255.0,
                                      c.a / 255.0);
}

Rgba mix(const Rgba& a, const Rgba& b, double t, bool linearRgb) {
    auto channel = [t, linearRgb](std::uint8_t x, std::uint8_t y) {
        if (!linearRgb) {
            const double v = (x / 255.0) * (1 - t) + (y / 255.0) * t;
            return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
        }
        // Flash truncates on the way back from linear light: a full channel comes back as 254, and
        // every step of the ramp is a level below a rounded one.
        const double v = toSrgb(toLinear(x / 255.0) * (1 - t) + toLinear(y / 255.0) * t);
        return static_cast<std::uint8_t>(std::clamp(std::floor(v * 255 - 1e-9), 0.0, 255.0));
    };
    return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b),
            static_cast<std::uint8_t>(std::lround(a.a * (1 - t) + b.a * t))};
}

// Flash builds a 256-entry colour table, walking the stops in the order written. A stop whose ratio does
// not lie beyond the entries already written still uses up the next entry, filled with the stop before
// it (so repeated ratios show as one-entry lines), and the ramp after it starts from the entries left,
// measured from the stops' own ratios. Entries past the last written one take the last stop's colour.
void addTableStops(cairo_pattern_t* pattern, const std::vector<GradientStop>& stops, bool linearRgb) {
    constexpr int kEntries = 256;
    std::vector<Rgba> table(kEntries);
    auto ratioOf = [](const GradientStop& s) { return static_cast<int>(std::clamp(std::lround(s.ratio), 0L, 255L)); };
    int pos = 0;
    // In linear light every entry, the stops' own colours too, comes back through the conversion.
    auto own = [linearRgb](const Rgba& c) { return mix(c, c, 0, linearRgb); };
    for (; pos <= ratioOf(stops[0]) && pos < kEntries; ++pos) table[pos] = own(stops[0].color);
    for (std::size_t i = 1; i < stops.size() && pos < kEntries; ++i) {
        int from = ratioOf(stops[i - 1]), to = ratioOf(stops[i]);
        if (to < pos) {
            table[pos++] = own(stops[i - 1].color);
            continue;
        }
        for (; pos <= to; ++pos)
            table[pos] = mix(stops[i - 1].color, stops[i].color,
                             to > from ? static_cast<double>(pos - from) / (to - from) : 1.0, linearRgb);
    }
    for (; pos < kEntries; ++pos) table[pos] = own(stops.back().color);
    // Each entry covers an equal share of the ramp, without blending into its neighbours.
    for (int k = 0; k < kEntries; ++k) {
        addStop(pattern, static_cast<double>(k) / kEntries, table[k]);
        addStop(pattern, static_cast<double>(k + 1) / kEntries, table[k]);
    }
}

bool addStops(cairo_pattern_t* pattern, const Gradient& g, const ColorTransform& cx, bool opaque) {
    std::vector<GradientStop> stops = g.stops;
    for (auto& s : stops) {
        s.color = apply(cx, s.color);
        if (opaque) s.color.a = 255;
    }
    bool ascending = true;
    for (std::size_t i = 1; i < stops.size(); ++i) ascending = ascending && stops[i].ratio > stops[i - 1].ratio;
    if (!ascending) {
        addTableStops(pattern, stops, g.linearRgb);
        return true;
    }
    for (std::size_t i = 0; i < stops.size(); ++i) {
        addStop(pattern, stops[i].ratio / 255.0, mix(stops[i].color, stops[i].color, 0, g.linearRgb));
        if (!g.linearRgb || i + 1 == stops.size()) continue;
        const GradientStop& a = stops[i];
        const GradientStop& b = stops[i + 1];
        for (int k = 1; k < kLinearRgbSteps; ++k) {
            double t = static_cast<double>(k) / kLinearRgbSteps;
            addStop(pattern, (a.ratio * (1 - t) + b.ratio * t) / 255.0, mix(a.color, b.color, t, true));
        }
    }
    return false;
}

std::uint8_t clampChannel(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

cairo_matrix_t toCairo(const Matrix& m) {
    cairo_matrix_t c;
    cairo_matrix_init(&c, m.a, m.b, m.c, m.d, m.tx, m.ty);
    return c;
}

cairo_surface_t* surfaceOf(const Image& image) {
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(image.pixels.data()));
    return cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, image.width, image.height, image.width * 4);
}

cairo_surface_t* transformedCopy(cairo_surface_t* source, const ColorTransform& cx) {
    int width = cairo_image_surface_get_width(source);
    int height = cairo_image_surface_get_height(source);
    int inStride = cairo_image_surface_get_stride(source);
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    int outStride = cairo_image_surface_get_stride(out);
    cairo_surface_flush(source);
    const unsigned char* in = cairo_image_surface_get_data(source);
    unsigned char* dst = cairo_image_surface_get_data(out);
    if (!in || !dst) return out;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<const std::uint32_t*>(in + static_cast<std::ptrdiff_t>(y) * inStride);
        auto* outRow = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * outStride);
        for (int x = 0; x < width; ++x) {
            std::uint32_t p = row[x];
            double a = (p >> 24) & 0xFF;
            double unit = a > 0 ? 255.0 / a : 0;
            double r = ((p >> 16) & 0xFF) * unit, g = ((p >> 8) & 0xFF) * unit, b = (p & 0xFF) * unit;
            std::uint8_t na = clampChannel(a * cx.mul[3] + cx.add[3]);
            double f = na / 255.0;
            std::uint8_t nr = clampChannel(clampChannel(r * cx.mul[0] + cx.add[0]) * f);
            std::uint8_t ng = clampChannel(clampChannel(g * cx.mul[1] + cx.add[1]) * f);
            std::uint8_t nb = clampChannel(clampChannel(b * cx.mul[2] + cx.add[2]) * f);
            outRow[x] = (std::uint32_t{na} << 24) | (std::uint32_t{nr} << 16) | (std::uint32_t{ng} << 8) | nb;
        }
    }
    cairo_surface_mark_dirty(out);
    return out;
}

void blendPixels(cairo_surface_t* target, cairo_surface_t* source, PixelBlend blend) {
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_surface_get_type(source) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32 ||
        cairo_image_surface_get_format(source) != CAIRO_FORMAT_ARGB32)
        return;
    cairo_surface_flush(target);
    cairo_surface_flush(source);
    unsigned char* dst = cairo_image_surface_get_data(target);
    const unsigned char* src = cairo_image_surface_get_data(source);
    if (!dst || !src) return;
    double tdx = 0, tdy = 0, sdx = 0, sdy = 0;
    cairo_surface_get_device_offset(target, &tdx, &tdy);
    cairo_surface_get_device_offset(source, &sdx, &sdy);
    // Source pixel (x, y) lies over target pixel (x + dx, y + dy).
    long dx = std::lround(tdx - sdx), dy = std::lround(tdy - sdy);
    int tw = cairo_image_surface_get_width(target), th = cairo_image_surface_get_height(target);
    int sw = cairo_image_surface_get_width(source), sh = cairo_image_surface_get_height(source);
    int tstride = cairo_image_surface_get_stride(target), sstride = cairo_image_surface_get_stride(source);
    long y0 = std::max(0L, -dy), y1 = std::min(static_cast<long>(sh), th - dy);
    long x0 = std::max(0L, -dx), x1 = std::min(static_cast<long>(sw), tw - dx);
    for (long y = y0; y < y1; ++y) {
        auto* in = reinterpret_cast<const std::uint32_t*>(src + y * sstride);
        auto* out = reinterpret_cast<std::uint32_t*>(dst + (y + dy) * tstride);
        for (long x = x0; x < x1; ++x) {
            std::uint32_t s = in[x];
            std::uint32_t sa = s >> 24;
            if (sa == 0 && (s & 0xFFFFFF) == 0) continue;
            std::uint32_t d = out[x + dx];
            std::uint32_t da = d >> 24;
            std::uint32_t result = (sa + da - (sa * da + 127) / 255) << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                std::uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                std::uint32_t c = blend == PixelBlend::Subtract
                                      ? (dc > sc ? dc - sc : 0)
                                      : (dc * (255 - sa) + (da > dc ? da - dc : 0) * sa + 127) / 255;
                result |= std::min(c, 255u) << shift;
            }
            out[x + dx] = result;
        }
    }
    cairo_surface_mark_dirty(target);
}

void setFillSource(cairo_t* cr, const FillStyle& fill, const ColorTransform& cx, const PaintOptions& options) {
    if (fill.kind == FillKind::Solid) {
        Rgba c = apply(cx, fill.color);
        if (options.maskOnly) c.a = 255;
        cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
        return;
    }
    Matrix inverse;
    Matrix toUser = fill.kind == FillKind::Bitmap
                        ? fill.matrix
                        : multiply(fill.matrix, Matrix{kGradientHalf, 0, 0, kGradientHalf, 0, 0});
    bool invertible = invert(toUser, inverse);
    if (fill.kind == FillKind::Bitmap) {
        cairo_surface_t* surface = options.bitmap ? options.bitmap(fill.bitmapId) : nullptr;
        if (!surface || !invertible) {
            // A fill whose bitmap is missing or undecodable paints nothing, as in Flash.
            cairo_set_source_rgba(cr, 0, 0, 0, 0);
            return;
        }
        // Shrunk to half or less on the device, the bitmap is drawn from a halved copy.
        cairo_matrix_t device;
        cairo_get_matrix(cr, &device);
        cairo_matrix_t toDevice = toCairo(fill.matrix);
        cairo_matrix_multiply(&toDevice, &toDevice, &device);
        double scale = std::sqrt(std::fabs(toDevice.xx * toDevice.yy - toDevice.xy * toDevice.yx));
        int level = options.halvedBitmap ? mipmapLevel(scale, cairo_image_surface_get_width(surface),
                                                       cairo_image_surface_get_height(surface))
                                         : 0;
        if (level > 0) {
            if (cairo_surface_t* halved = options.halvedBitmap(fill.bitmapId, level)) {
                surface = halved;
                inverse = multiply(Matrix{std::ldexp(1.0, -level), 0, 0, std::ldexp(1.0, -level), 0, 0}, inverse);
            }
        }
        bool transformed = !cx.isIdentity() && !options.maskOnly;
        cairo_surface_t* source = transformed ? transformedCopy(surface, cx) : surface;
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source);
        if (transformed) cairo_surface_destroy(source);
        cairo_matrix_t m = toCairo(inverse);
        cairo_pattern_set_matrix(pattern, &m);
        cairo_pattern_set_extend(pattern, fill.repeat ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
        // Bilinear is the smoothing Flash applies; shrinking is handled by the halved copies above (cairo's
        // "good" filter would box-filter too, at several times the frame time).
        bool smooth = fill.smooth && options.smoothBitmaps;
        cairo_pattern_set_filter(pattern, smooth ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_NEAREST);
        cairo_set_source(cr, pattern);
        cairo_pattern_destroy(pattern);
        return;
    }
    const auto& stops = fill.gradient.stops;
    if (stops.empty()) {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
        return;
    }
    if (!invertible) {
        Rgba c = apply(cx, stops.back().color);
        if (options.maskOnly) c.a = 255;
        cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
        return;
    }
    cairo_pattern_t* pattern;
    if (fill.kind == FillKind::Linear) {
        pattern = cairo_pattern_create_linear(-1, 0, 1, 0);
    } else {
        double focal = fill.kind == FillKind::Focal ? std::clamp(fill.gradient.focal, -0.98, 0.98) : 0;
        pattern = cairo_pattern_create_radial(focal, 0, 0, 0, 0, 1);
    }
    bool table = addStops(pattern, fill.gradient, cx, options.maskOnly);
    cairo_matrix_t m = toCairo(inverse);
    if (table) {
        // Flash samples its colour table at each pixel's top-left corner rather than its centre; with one-entry
        // lines in the table the half-pixel difference shows.
        cairo_matrix_t toDevice, fromDevice, shift, step;
        cairo_get_matrix(cr, &toDevice);
        fromDevice = toDevice;
        if (cairo_matrix_invert(&fromDevice) == CAIRO_STATUS_SUCCESS) {
            cairo_matrix_init_translate(&shift, -0.5, -0.5);
            cairo_matrix_multiply(&step, &toDevice, &shift);
            cairo_matrix_multiply(&step, &step, &fromDevice);
            cairo_matrix_multiply(&m, &step, &m);
        }
    }
    cairo_pattern_set_matrix(pattern, &m);
    cairo_extend_t extend = fill.gradient.spread == Spread::Reflect  ? CAIRO_EXTEND_REFLECT
                            : fill.gradient.spread == Spread::Repeat ? CAIRO_EXTEND_REPEAT
                                                                     : CAIRO_EXTEND_PAD;
    cairo_pattern_set_extend(pattern, extend);
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}

}  // namespace flashgrab
