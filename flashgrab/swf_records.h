#pragma once

#include <array>
#include <cstdint>

#include "flashgrab/bit_reader.h"

namespace flashgrab {

struct Rect {
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty (cairo's xx, yx, xy, yy, x0, y0).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

Matrix multiply(const Matrix& outer, const Matrix& inner);  // applies inner first
bool invert(const Matrix& m, Matrix& out);

// Per channel (r, g, b, a): value * mul + add, add in 0..255 units.
struct ColorTransform {
    std::array<double, 4> mul{1, 1, 1, 1};
    std::array<double, 4> add{0, 0, 0, 0};
    bool isIdentity() const { return mul == std::array<double, 4>{1, 1, 1, 1} && add == std::array<double, 4>{}; }
};

ColorTransform compose(const ColorTransform& outer, const ColorTransform& inner);  // inner first
Rgba apply(const ColorTransform& cx, Rgba c);

Rect readRect(BitReader& in);
Matrix readMatrix(BitReader& in);
ColorTransform readColorTransform(BitReader& in, bool withAlpha);
Rgba readRgb(BitReader& in);
Rgba readRgba(BitReader& in);

}  // namespace flashgrab
