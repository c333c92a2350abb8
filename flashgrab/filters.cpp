#include "flashgrab/filters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace flashgrab {
namespace {

// Largest blur radius we run, in pixels; Flash caps blur at 255 as well.
constexpr int kMaxBlur = 255;

float readFloat(BitReader& in) {
    std::uint32_t bits = in.u32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0f;
}

// One box-blur pass along rows or columns of one channel plane. The box is width pixels wide; a
// fractional width weighs the two outermost pixels by the fraction.
void boxBlur(std::vector<float>& plane, std::vector<float>& scratch, int count, int lines, int along, int across,
             double width) {
    double half = (width - 1) / 2;
    int radius = static_cast<int>(std::floor(half));
    float edge = static_cast<float>(half - radius);
    for (int line = 0; line < lines; ++line) {
        auto at = [&](int i) {
            return i < 0 || i >= count ? 0.0f : plane[static_cast<std::size_t>(line * across + i * along)];
        };
        float sum = 0;
        for (int i = -radius; i <= radius; ++i) sum += at(i);
        for (int i = 0; i < count; ++i) {
            float total = sum + edge * (at(i - radius - 1) + at(i + radius + 1));
            scratch[static_cast<std::size_t>(line * across + i * along)] = total / static_cast<float>(width);
            sum += at(i + radius + 1) - at(i - radius);
        }
    }
    plane.swap(scratch);
}

void blur(const Filter& f, unsigned char* data, int width, int height, int stride, double scale) {
    double wx = std::clamp(f.blurX * scale, 1.0, 2.0 * kMaxBlur + 1);
    double wy = std::clamp(f.blurY * scale, 1.0, 2.0 * kMaxBlur + 1);
    if (wx <= 1 && wy <= 1) return;
    std::size_t pixels = static_cast<std::size_t>(width) * height;
    for (int channel = 0; channel < 4; ++channel) {
        std::vector<float> plane(pixels), scratch(pixels);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                plane[static_cast<std::size_t>(y) * width + x] = data[y * stride + x * 4 + channel];
        for (int pass = 0; pass < std::clamp(f.passes, 1, 3); ++pass) {
            if (wx > 1) boxBlur(plane, scratch, width, height, 1, width, wx);
            if (wy > 1) boxBlur(plane, scratch, height, width, width, 1, wy);
        }
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                data[y * stride + x * 4 + channel] = static_cast<unsigned char>(
                    std::clamp(std::lround(plane[static_cast<std::size_t>(y) * width + x]), 0L, 255L));
    }
}

// Blurs the object's coverage, tints it, moves it and puts it under (or, inner, inside) the object.
void shadow(const Filter& f, unsigned char* data, int width, int height, int stride, double scale) {
    std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<std::uint32_t> coverage(count);
    int ox = static_cast<int>(std::lround(f.dx * scale)), oy = static_cast<int>(std::lround(f.dy * scale));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sx = x - ox, sy = y - oy;
            std::uint32_t a = 0;
            if (sx >= 0 && sy >= 0 && sx < width && sy < height) a = data[sy * stride + sx * 4 + 3];
            if (f.inner) a = 255 - a;
            coverage[static_cast<std::size_t>(y) * width + x] = a << 24;
        }
    Filter blurPart = f;
    blur(blurPart, reinterpret_cast<unsigned char*>(coverage.data()), width, height, width * 4, scale);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            double a = std::min(1.0, (coverage[static_cast<std::size_t>(y) * width + x] >> 24) / 255.0 * f.strength) *
                       f.color[3];
            std::uint32_t p = row[x];
            double objectAlpha = ((p >> 24) & 0xFF) / 255.0;
            if (f.inner) a *= objectAlpha;
            double sr = f.color[0] * a * 255, sg = f.color[1] * a * 255, sb = f.color[2] * a * 255, sa = a * 255;
            double pr = (p >> 16) & 0xFF, pg = (p >> 8) & 0xFF, pb = p & 0xFF, pa = (p >> 24) & 0xFF;
            double r, g, b, al;
            if (f.inner) {
                // shadow over the object, inside it
                double keep = f.knockout ? 0 : 1 - a;
                r = sr + pr * keep, g = sg + pg * keep, b = sb + pb * keep;
                al = f.knockout ? sa : pa;
            } else if (f.knockout || f.hideObject) {
                double outside = f.knockout ? 1 - objectAlpha : 1;
                r = sr * outside, g = sg * outside, b = sb * outside, al = sa * outside;
            } else {
                // object over its shadow
                r = pr + sr * (1 - objectAlpha), g = pg + sg * (1 - objectAlpha), b = pb + sb * (1 - objectAlpha);
                al = pa + sa * (1 - objectAlpha);
            }
            auto c = [](double v) { return static_cast<std::uint32_t>(std::clamp(std::lround(v), 0L, 255L)); };
            row[x] = (c(al) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
        }
    }
}

void colorMatrix(const Filter& f, unsigned char* data, int width, int height, int stride) {
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            std::uint32_t p = row[x];
            double a = (p >> 24) & 0xFF;
            double unit = a > 0 ? 255.0 / a : 0;
            double in[4] = {((p >> 16) & 0xFF) * unit, ((p >> 8) & 0xFF) * unit, (p & 0xFF) * unit, a};
            double out[4];
            for (int k = 0; k < 4; ++k) {
                const double* m = &f.matrix[static_cast<std::size_t>(k) * 5];
                out[k] = std::clamp(m[0] * in[0] + m[1] * in[1] + m[2] * in[2] + m[3] * in[3] + m[4], 0.0, 255.0);
            }
            double f3 = out[3] / 255.0;
            auto c = [](double v) { return static_cast<std::uint32_t>(std::lround(v)); };
            row[x] = (c(out[3]) << 24) | (c(out[0] * f3) << 16) | (c(out[1] * f3) << 8) | c(out[2] * f3);
        }
    }
}

}  // namespace

bool readFilters(BitReader& in, std::vector<Filter>& out) {
    int count = in.u8();
    for (int i = 0; i < count && in.ok(); ++i) {
        int id = in.u8();
        switch (id) {
            case 0:
            case 2: {
                Filter f;
                f.type = Filter::Type::Shadow;
                for (double& c : f.color) c = in.u8() / 255.0;
                f.blurX = in.fixed16();
                f.blurY = in.fixed16();
                if (id == 0) {
                    double angle = in.fixed16();
                    double distance = in.fixed16();
                    f.dx = std::cos(angle) * distance;
                    f.dy = std::sin(angle) * distance;
                }
                f.strength = in.fixed8();
                int flags = in.u8();
                f.inner = flags & 0x80;
                f.knockout = flags & 0x40;
                f.hideObject = !(flags & 0x20);
                f.passes = flags & 0x1F;
                if (in.ok()) out.push_back(f);
                break;
            }
            case 1: {
                Filter f;
                f.type = Filter::Type::Blur;
                f.blurX = in.fixed16();
                f.blurY = in.fixed16();
                f.passes = static_cast<int>(in.u8() >> 3);
                if (in.ok()) out.push_back(f);
                break;
            }
            case 3:
                in.skip(27);
                break;
            case 4:
            case 7: {
                int colors = in.u8();
                in.skip(static_cast<std::size_t>(colors) * 5 + 19);
                break;
            }
            case 5: {
                int x = in.u8();
                int y = in.u8();
                in.skip(8 + static_cast<std::size_t>(x) * y * 4 + 5);
                break;
            }
            case 6: {
                Filter f;
                f.type = Filter::Type::ColorMatrix;
                for (double& v : f.matrix) v = readFloat(in);
                if (in.ok()) out.push_back(f);
                break;
            }
            default:
                return false;
        }
    }
    return in.ok();
}

void applyFilters(const std::vector<Filter>& filters, unsigned char* data, int width, int height, int stride,
                  double scale) {
    for (const Filter& f : filters) {
        if (f.type == Filter::Type::Blur)
            blur(f, data, width, height, stride, scale);
        else if (f.type == Filter::Type::Shadow)
            shadow(f, data, width, height, stride, scale);
        else
            colorMatrix(f, data, width, height, stride);
    }
}

}  // namespace flashgrab
