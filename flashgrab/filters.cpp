#include "flashgrab/filters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "flashgrab/filter_blur.h"
#include "flashgrab/filter_glow.h"

namespace flashgrab {
namespace {

// Angle and distance, kept as the offset they make.
void readOffset(BitReader& in, Filter& f) {
    double angle = in.fixed16();
    double distance = in.fixed16();
    f.dx = std::cos(angle) * distance;
    f.dy = std::sin(angle) * distance;
}

float readFloat(BitReader& in) {
    std::uint32_t bits = in.u32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0f;
}

void blur(const Filter& f, unsigned char* data, int width, int height, int stride, double scaleX, double scaleY) {
    double boxX = scaledBlurWidth(f.blurX, scaleX), boxY = scaledBlurWidth(f.blurY, scaleY);
    if (f.passes <= 0 || (boxX <= 1 && boxY <= 1)) return;
    std::vector<float> plane(static_cast<std::size_t>(width) * height);
    for (int channel = 0; channel < 4; ++channel) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                plane[static_cast<std::size_t>(y) * width + x] = data[y * stride + x * 4 + channel];
        blurPlane(plane, width, height, boxX, boxY, f.passes);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                data[y * stride + x * 4 + channel] = static_cast<unsigned char>(
                    std::clamp(plane[static_cast<std::size_t>(y) * width + x], 0.0f, 255.0f));
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
                if (id == 0) readOffset(in, f);
                f.strength = in.fixed8();
                int flags = in.u8();
                f.inner = flags & 0x80;
                f.knockout = flags & 0x40;
                f.compositeSource = flags & 0x20;
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
            case 3: {
                Filter f;
                f.type = Filter::Type::Bevel;
                // The lit colour comes first, although the format's description lists the shadow first.
                for (double& c : f.highlight) c = in.u8() / 255.0;
                for (double& c : f.color) c = in.u8() / 255.0;
                f.blurX = in.fixed16();
                f.blurY = in.fixed16();
                readOffset(in, f);
                f.strength = in.fixed8();
                int flags = in.u8();
                f.inner = flags & 0x80;
                f.knockout = flags & 0x40;
                f.onTop = flags & 0x10;
                f.passes = flags & 0x0F;
                if (in.ok()) out.push_back(f);
                break;
            }
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
                  double scaleX, double scaleY) {
    for (const Filter& f : filters) {
        switch (f.type) {
            case Filter::Type::Blur:
                blur(f, data, width, height, stride, scaleX, scaleY);
                break;
            case Filter::Type::Shadow:
                applyShadow(f, data, width, height, stride, scaleX, scaleY);
                break;
            case Filter::Type::Bevel:
                applyBevel(f, data, width, height, stride, scaleX, scaleY);
                break;
            case Filter::Type::ColorMatrix:
                colorMatrix(f, data, width, height, stride);
                break;
        }
    }
}

double filterReach(const std::vector<Filter>& filters, double scaleX, double scaleY) {
    double reach = 0;
    for (const Filter& f : filters) {
        if (f.type == Filter::Type::ColorMatrix) continue;
        double box = std::max(scaledBlurWidth(f.blurX, scaleX), scaledBlurWidth(f.blurY, scaleY));
        reach += std::clamp(f.passes, 0, 31) * (box / 2 + 1) + std::hypot(f.dx, f.dy) * std::fabs(scaleY) + 1;
    }
    return reach;
}

}  // namespace flashgrab
