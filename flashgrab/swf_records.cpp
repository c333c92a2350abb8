#include "flashgrab/swf_records.h"

#include <algorithm>
#include <cmath>

namespace flashgrab {

Matrix multiply(const Matrix& o, const Matrix& i) {
    Matrix r;
    r.a = o.a * i.a + o.c * i.b;
    r.b = o.b * i.a + o.d * i.b;
    r.c = o.a * i.c + o.c * i.d;
    r.d = o.b * i.c + o.d * i.d;
    r.tx = o.a * i.tx + o.c * i.ty + o.tx;
    r.ty = o.b * i.tx + o.d * i.ty + o.ty;
    return r;
}

bool invert(const Matrix& m, Matrix& out) {
    double det = m.a * m.d - m.b * m.c;
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
    out.a = m.d / det;
    out.b = -m.b / det;
    out.c = -m.c / det;
    out.d = m.a / det;
    out.tx = -(out.a * m.tx + out.c * m.ty);
    out.ty = -(out.b * m.tx + out.d * m.ty);
    return true;
}

ColorTransform compose(const ColorTransform& o, const ColorTransform& i) {
    ColorTransform r;
    for (int k = 0; k < 4; ++k) {
        r.mul[k] = o.mul[k] * i.mul[k];
        r.add[k] = i.add[k] * o.mul[k] + o.add[k];
    }
    return r;
}

static std::uint8_t channel(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

Rgba apply(const ColorTransform& cx, Rgba c) {
    return {channel(c.r * cx.mul[0] + cx.add[0]), channel(c.g * cx.mul[1] + cx.add[1]),
            channel(c.b * cx.mul[2] + cx.add[2]), channel(c.a * cx.mul[3] + cx.add[3])};
}

Rect readRect(BitReader& in) {
    in.align();
    int bits = static_cast<int>(in.ub(5));
    Rect r;
    r.xMin = in.sb(bits);
    r.xMax = in.sb(bits);
    r.yMin = in.sb(bits);
    r.yMax = in.sb(bits);
    in.align();
    return r;
}

Matrix readMatrix(BitReader& in) {
    in.align();
    Matrix m;
    if (in.ub(1)) {
        int bits = static_cast<int>(in.ub(5));
        m.a = in.fb(bits);
        m.d = in.fb(bits);
    }
    if (in.ub(1)) {
        int bits = static_cast<int>(in.ub(5));
        m.b = in.fb(bits);
        m.c = in.fb(bits);
    }
    int bits = static_cast<int>(in.ub(5));
    m.tx = in.sb(bits);
    m.ty = in.sb(bits);
    in.align();
    return m;
}

ColorTransform readColorTransform(BitReader& in, bool withAlpha) {
    in.align();
    ColorTransform cx;
    bool hasAdd = in.ub(1) != 0;
    bool hasMul = in.ub(1) != 0;
    int bits = static_cast<int>(in.ub(4));
    int channels = withAlpha ? 4 : 3;
    // Multipliers are 8.8 fixed point.
    if (hasMul)
        for (int k = 0; k < channels; ++k) cx.mul[k] = in.sb(bits) / 256.0;
    if (hasAdd)
        for (int k = 0; k < channels; ++k) cx.add[k] = in.sb(bits);
    in.align();
    return cx;
}

Rgba readRgb(BitReader& in) {
    Rgba c;
    c.r = in.u8();
    c.g = in.u8();
    c.b = in.u8();
    return c;
}

Rgba readRgba(BitReader& in) {
    Rgba c = readRgb(in);
    c.a = in.u8();
    return c;
}

}  // namespace flashgrab
