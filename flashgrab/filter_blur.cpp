#include "flashgrab/filter_blur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace flashgrab {
namespace {

constexpr double kMaxBlur = 255;
// Sums of whole levels are exact in float, but a division can land just below a whole level that the
// reference arrives at exactly.
constexpr float kFloorSlack = 1e-3f;

// One box of `box` pixels: m whole pixels either side of the centre, then one pixel each side weighed
// by the remaining fraction (kept to 1/255 steps, as Flash's fixed point does).
struct Kernel {
    int m = 0;
    float edge = 0;
    float divisor = 1;
};

Kernel kernelFor(double box) {
    double radius = (box - 1) / 2;
    Kernel k;
    k.m = static_cast<int>(std::ceil(radius)) - 1;
    k.edge = static_cast<float>(std::floor((radius - k.m) * 255) / 255);
    k.divisor = static_cast<float>(box);
    return k;
}

float settle(float total, const Kernel& k) {
    return std::floor(total / k.divisor + kFloorSlack);
}

void blurRows(std::vector<float>& plane, std::vector<float>& out, int width, int height, const Kernel& k) {
    for (int y = 0; y < height; ++y) {
        const float* row = plane.data() + static_cast<std::size_t>(y) * width;
        float* dst = out.data() + static_cast<std::size_t>(y) * width;
        auto at = [&](int x) { return x < 0 || x >= width ? 0.0f : row[x]; };
        float centre = 0;
        for (int x = -k.m; x <= k.m; ++x) centre += at(x);
        for (int x = 0; x < width; ++x) {
            dst[x] = settle(centre + k.edge * (at(x - k.m - 1) + at(x + k.m + 1)), k);
            centre += at(x + k.m + 1) - at(x - k.m);
        }
    }
    plane.swap(out);
}

// Columns are summed a whole row at a time so that memory is read in order.
void blurColumns(std::vector<float>& plane, std::vector<float>& out, int width, int height, const Kernel& k) {
    std::vector<float> centre(static_cast<std::size_t>(width), 0.0f);
    auto row = [&](int y) -> const float* {
        return y < 0 || y >= height ? nullptr : plane.data() + static_cast<std::size_t>(y) * width;
    };
    auto addRow = [&](int y, float sign) {
        if (const float* r = row(y))
            for (int x = 0; x < width; ++x) centre[x] += sign * r[x];
    };
    for (int y = -k.m; y <= k.m; ++y) addRow(y, 1);
    for (int y = 0; y < height; ++y) {
        const float* above = row(y - k.m - 1);
        const float* below = row(y + k.m + 1);
        float* dst = out.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            float edges = (above ? above[x] : 0.0f) + (below ? below[x] : 0.0f);
            dst[x] = settle(centre[x] + k.edge * edges, k);
        }
        addRow(y + k.m + 1, 1);
        addRow(y - k.m, -1);
    }
    plane.swap(out);
}

}  // namespace

double scaledBlurWidth(double blur, double scale) {
    double box = (blur - 1) * scale + 1;
    return std::isfinite(box) ? std::min(box, kMaxBlur) : 1.0;
}

void blurPlane(std::vector<float>& plane, int width, int height, double boxX, double boxY, int passes) {
    if (width <= 0 || height <= 0 || (boxX <= 1 && boxY <= 1)) return;
    std::vector<float> out(plane.size());
    for (int pass = 0; pass < passes; ++pass) {
        if (boxX > 1) blurRows(plane, out, width, height, kernelFor(boxX));
        if (boxY > 1) blurColumns(plane, out, width, height, kernelFor(boxY));
    }
}

}  // namespace flashgrab
