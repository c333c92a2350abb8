#include "flashgrab/filter_glow.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "flashgrab/filter_blur.h"

namespace flashgrab {
namespace {

struct Rgba01 {
    double r = 0, g = 0, b = 0, a = 0;
};

// The object's coverage, blurred, in 0..1.
std::vector<float> blurredCoverage(const Filter& f, const unsigned char* data, int width, int height, int stride,
                                   double scaleX, double scaleY) {
    std::vector<float> plane(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) plane[static_cast<std::size_t>(y) * width + x] = data[y * stride + x * 4 + 3];
    blurPlane(plane, width, height, scaledBlurWidth(f.blurX, scaleX), scaledBlurWidth(f.blurY, scaleY),
              std::max(0, f.passes));
    for (float& v : plane) v /= 255.0f;
    return plane;
}

// The blurred coverage is looked up at whole pixels: a shift of d picks the pixel whose centre is
// nearest to d away, and outside the picture there is none.
int pixelShift(double d) {
    return static_cast<int>(std::floor(0.5 + d));
}

float coverageAt(const std::vector<float>& plane, int width, int height, int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return plane[static_cast<std::size_t>(y) * width + x];
}

Rgba01 pixelAt(const std::uint32_t* row, int x) {
    std::uint32_t p = row[x];
    return {((p >> 16) & 0xFF) / 255.0, ((p >> 8) & 0xFF) / 255.0, (p & 0xFF) / 255.0, (p >> 24) / 255.0};
}

std::uint32_t packed(const Rgba01& c) {
    auto level = [](double v) { return static_cast<std::uint32_t>(std::clamp(std::lround(v * 255), 0L, 255L)); };
    std::uint32_t a = level(c.a);
    // Premultiplied colour never exceeds its alpha.
    auto channel = [&](double v) { return std::min(level(v), a); };
    return (a << 24) | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

Rgba01 scaled(const Rgba01& c, double k) {
    return {c.r * k, c.g * k, c.b * k, c.a * k};
}

Rgba01 plus(const Rgba01& x, const Rgba01& y) {
    return {x.r + y.r, x.g + y.g, x.b + y.b, x.a + y.a};
}

}  // namespace

void applyShadow(const Filter& f, unsigned char* data, int width, int height, int stride, double scaleX,
                 double scaleY) {
    std::vector<float> coverage = blurredCoverage(f, data, width, height, stride, scaleX, scaleY);
    // The distance scales with the stage's vertical scale alone, as Flash does it.
    int shiftX = pixelShift(-f.dx * scaleY), shiftY = pixelShift(-f.dy * scaleY);
    Rgba01 tint{f.color[0], f.color[1], f.color[2], 1};
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            double blur = coverageAt(coverage, width, height, x + shiftX, y + shiftY);
            Rgba01 object = pixelAt(row, x);
            Rgba01 out;
            if (f.inner) {
                double a = f.color[3] * std::clamp((1 - blur) * f.strength, 0.0, 1.0);
                out = scaled(tint, a * object.a);
                // Without the source an inner shadow is left on its own, as it is with knockout.
                if (!f.knockout && f.compositeSource) out = plus(out, scaled(object, 1 - a));
            } else {
                double a = f.color[3] * std::clamp(blur * f.strength, 0.0, 1.0);
                if (f.knockout)
                    out = scaled(tint, a * (1 - object.a));
                else if (f.compositeSource)
                    out = plus(scaled(tint, a * (1 - object.a)), object);
                else
                    out = scaled(tint, a);
            }
            row[x] = packed(out);
        }
    }
}

void applyBevel(const Filter& f, unsigned char* data, int width, int height, int stride, double scaleX, double scaleY) {
    std::vector<float> coverage = blurredCoverage(f, data, width, height, stride, scaleX, scaleY);
    double ox = f.dx * scaleY, oy = f.dy * scaleY;
    int litX = pixelShift(ox), litY = pixelShift(oy), darkX = pixelShift(-ox), darkY = pixelShift(-oy);
    Rgba01 highlight{f.highlight[0] * f.highlight[3], f.highlight[1] * f.highlight[3], f.highlight[2] * f.highlight[3],
                     f.highlight[3]};
    Rgba01 shadow{f.color[0] * f.color[3], f.color[1] * f.color[3], f.color[2] * f.color[3], f.color[3]};
    bool outer = !f.inner || f.onTop;
    bool inner = f.inner || f.onTop;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            double lit = coverageAt(coverage, width, height, x + litX, y + litY);
            double dark = coverageAt(coverage, width, height, x + darkX, y + darkY);
            Rgba01 glow = plus(scaled(highlight, std::clamp((lit - dark) * f.strength, 0.0, 1.0)),
                               scaled(shadow, std::clamp((dark - lit) * f.strength, 0.0, 1.0)));
            Rgba01 object = pixelAt(row, x);
            Rgba01 out;
            if (inner && outer)
                out = f.knockout ? glow : plus(scaled(object, 1 - glow.a), glow);
            else if (inner)
                out = f.knockout ? scaled(glow, object.a) : plus(scaled(glow, object.a), scaled(object, 1 - glow.a));
            else
                out = f.knockout ? scaled(glow, 1 - object.a) : plus(object, scaled(glow, 1 - object.a));
            row[x] = packed(out);
        }
    }
}

}  // namespace flashgrab
