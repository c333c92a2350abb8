#include "flashgrab/h263_deblock.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "flashgrab/bit_reader.h"

namespace flashgrab {
namespace {

// Table J.2 of H.263: filter strength by quantizer.
constexpr std::array<int, 32> kStrengthOfQuantizer = {0, 1, 1, 2, 2, 3, 3, 4,  4,  4,  5,  5,  6,  6,  7,  7,
                                                      7, 8, 8, 8, 9, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12, 12};

// The reference filters most lines eight at a time with arithmetic shifts (rounding down) and the lines
// left over one by one with divisions (rounding towards zero); the two differ for negative sums.
int divide(int value, int divisor, bool roundDown) {
    if (!roundDown) return value / divisor;
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// One line across an edge: a and b on one side, c and d on the other.
void smoothEdge(std::uint8_t& a, std::uint8_t& b, std::uint8_t& c, std::uint8_t& d, int strength, bool roundDown) {
    int d0 = divide(a - 4 * b + 4 * c - d, 8, roundDown);
    int magnitude = std::abs(d0);
    int ramp = std::max(0, magnitude - std::max(0, 2 * (magnitude - strength)));
    int d1 = d0 < 0 ? -ramp : ramp;
    int limit = std::abs(divide(d1, 2, roundDown));
    int d2 = std::clamp(divide(a - d, 4, roundDown), -limit, limit);
    auto level = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    a = level(a - d2);
    b = level(b + d1);
    c = level(c - d1);
    d = level(d + d2);
}

}  // namespace

std::optional<SorensonDeblocking> readSorensonDeblocking(std::span<const std::uint8_t> frame) {
    BitReader in(frame);
    if (in.ub(17) != 1) return std::nullopt;
    in.ub(5);  // version
    in.ub(8);  // temporal reference
    int size = static_cast<int>(in.ub(3));
    if (size == 0) in.ub(16);
    if (size == 1) in.ub(32);
    in.ub(2);  // picture type
    SorensonDeblocking out;
    out.requested = in.ub(1) != 0;
    out.quantizer = static_cast<int>(in.ub(5));
    if (!in.ok()) return std::nullopt;
    return out;
}

int deblockStrength(int quantizer) {
    return quantizer > 0 && quantizer < static_cast<int>(kStrengthOfQuantizer.size()) ? kStrengthOfQuantizer[quantizer]
                                                                                      : 0;
}

void deblockPlane(std::uint8_t* data, int width, int height, std::ptrdiff_t stride, int strength) {
    if (strength <= 0 || width <= 0 || height <= 0) return;
    auto at = [&](int x, int y) -> std::uint8_t& { return data[y * stride + x]; };
    int groupedColumns = width - width % 8, groupedRows = height - height % 8;
    for (int edge = 8; edge <= height - 2; edge += 8)
        for (int x = 0; x < width; ++x)
            smoothEdge(at(x, edge - 2), at(x, edge - 1), at(x, edge), at(x, edge + 1), strength, x < groupedColumns);
    for (int edge = 8; edge + 2 <= width; edge += 8)
        for (int y = 0; y < height; ++y)
            smoothEdge(at(edge - 2, y), at(edge - 1, y), at(edge, y), at(edge + 1, y), strength, y < groupedRows);
}

}  // namespace flashgrab
