#include "flashgrab/morph_shape.h"

#include <algorithm>
#include <cmath>

namespace flashgrab {
namespace {

constexpr int kMaxStyles = 65535;

void readMorphFill(BitReader& in, FillStyle& a, FillStyle& b) {
    int type = in.u8();
    if (type == 0x00) {
        a.color = readRgba(in);
        b.color = readRgba(in);
    } else if (type == 0x10 || type == 0x12 || type == 0x13) {
        a.kind = b.kind = type == 0x10 ? FillKind::Linear : type == 0x12 ? FillKind::Radial : FillKind::Focal;
        a.matrix = readMatrix(in);
        b.matrix = readMatrix(in);
        int head = in.u8();
        int spread = head >> 6;
        a.gradient.spread = b.gradient.spread = spread == 1   ? Spread::Reflect
                                                : spread == 2 ? Spread::Repeat
                                                              : Spread::Pad;
        a.gradient.linearRgb = b.gradient.linearRgb = ((head >> 4) & 3) == 1;
        int count = head & 15;
        for (int i = 0; i < count && in.ok(); ++i) {
            GradientStop s, e;
            s.ratio = in.u8();
            s.color = readRgba(in);
            e.ratio = in.u8();
            e.color = readRgba(in);
            a.gradient.stops.push_back(s);
            b.gradient.stops.push_back(e);
        }
        if (type == 0x13) {
            a.gradient.focal = in.fixed8();
            b.gradient.focal = in.fixed8();
        }
    } else if (type >= 0x40 && type <= 0x43) {
        a.kind = b.kind = FillKind::Bitmap;
        a.bitmapId = b.bitmapId = in.u16();
        a.matrix = readMatrix(in);
        b.matrix = readMatrix(in);
        a.repeat = b.repeat = type == 0x40 || type == 0x42;
        a.smooth = b.smooth = type == 0x40 || type == 0x41;
    } else {
        in.skip(in.remaining() + 1);
    }
}

double mix(double a, double b, double t) {
    return a + (b - a) * t;
}

Rgba mix(Rgba a, Rgba b, double t) {
    auto c = [t](std::uint8_t x, std::uint8_t y) { return static_cast<std::uint8_t>(std::lround(mix(x, y, t))); };
    return {c(a.r, b.r), c(a.g, b.g), c(a.b, b.b), c(a.a, b.a)};
}

Matrix mix(const Matrix& a, const Matrix& b, double t) {
    return {mix(a.a, b.a, t), mix(a.b, b.b, t),   mix(a.c, b.c, t),
            mix(a.d, b.d, t), mix(a.tx, b.tx, t), mix(a.ty, b.ty, t)};
}

FillStyle mix(const FillStyle& a, const FillStyle& b, double t) {
    FillStyle f = a;
    f.color = mix(a.color, b.color, t);
    f.matrix = mix(a.matrix, b.matrix, t);
    f.gradient.focal = mix(a.gradient.focal, b.gradient.focal, t);
    for (std::size_t i = 0; i < f.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
        f.gradient.stops[i].ratio = mix(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t);
        f.gradient.stops[i].color = mix(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
    }
    return f;
}

}  // namespace

MorphShape readMorphShape(int tagCode, std::span<const std::uint8_t> body) {
    MorphShape morph;
    BitReader in(body);
    readRect(in);
    readRect(in);
    if (tagCode == 84) {
        readRect(in);
        readRect(in);
        in.u8();
    }
    std::size_t offsetBase = 0;
    std::uint32_t endOffset = in.u32();
    offsetBase = in.position();
    int fills = in.u8();
    if (fills == 0xFF) fills = in.u16();
    for (int i = 0; i < fills && i < kMaxStyles && in.ok(); ++i) {
        FillStyle a, b;
        readMorphFill(in, a, b);
        morph.start.fills.push_back(a);
        morph.end.fills.push_back(b);
    }
    int lines = in.u8();
    if (lines == 0xFF) lines = in.u16();
    for (int i = 0; i < lines && i < kMaxStyles && in.ok(); ++i) {
        LineStyle a, b;
        a.width = in.u16();
        b.width = in.u16();
        if (tagCode == 84) {
            int startCap = static_cast<int>(in.ub(2));
            int join = static_cast<int>(in.ub(2));
            bool hasFill = in.ub(1) != 0;
            in.ub(9);
            in.ub(2);
            a.cap = b.cap = startCap == 1 ? Cap::None : startCap == 2 ? Cap::Square : Cap::Round;
            a.join = b.join = join == 1 ? Join::Bevel : join == 2 ? Join::Miter : Join::Round;
            if (join == 2) a.miterLimit = b.miterLimit = in.fixed8();
            if (hasFill) {
                a.hasFill = b.hasFill = true;
                readMorphFill(in, a.fill, b.fill);
                a.color = a.fill.color;
                b.color = b.fill.color;
            } else {
                a.color = readRgba(in);
                b.color = readRgba(in);
            }
        } else {
            a.color = readRgba(in);
            b.color = readRgba(in);
        }
        morph.start.lines.push_back(a);
        morph.end.lines.push_back(b);
    }
    if (!in.ok()) return morph;
    morph.startRecords = readShapeRecords(in, 1, nullptr);
    if (offsetBase + endOffset < body.size()) {
        BitReader endIn(body.subspan(offsetBase + endOffset));
        morph.endRecords = readShapeRecords(endIn, 1, nullptr);
    }
    return morph;
}

Shape morphAt(const MorphShape& morph, double t) {
    t = std::clamp(t, 0.0, 1.0);
    Shape shape;
    StyleGroup group;
    for (std::size_t i = 0; i < morph.start.fills.size() && i < morph.end.fills.size(); ++i)
        group.fills.push_back(mix(morph.start.fills[i], morph.end.fills[i], t));
    for (std::size_t i = 0; i < morph.start.lines.size() && i < morph.end.lines.size(); ++i) {
        LineStyle line = morph.start.lines[i];
        const LineStyle& e = morph.end.lines[i];
        line.width = mix(line.width, e.width, t);
        line.color = mix(line.color, e.color, t);
        line.fill = mix(line.fill, e.fill, t);
        group.lines.push_back(line);
    }
    shape.groups.push_back(group);

    using Type = ShapeRecord::Type;
    std::size_t j = 0;
    const auto& ends = morph.endRecords;
    double startPenX = 0, startPenY = 0, endPenX = 0, endPenY = 0;
    for (const ShapeRecord& s : morph.startRecords) {
        ShapeRecord r = s;
        if (s.type == Type::StyleChange) {
            if (s.hasMove) {
                double ex = s.x, ey = s.y;
                if (j < ends.size() && ends[j].type == Type::StyleChange) {
                    ex = ends[j].x;
                    ey = ends[j].y;
                    ++j;
                }
                r.x = mix(s.x, ex, t);
                r.y = mix(s.y, ey, t);
                startPenX = s.x;
                startPenY = s.y;
                endPenX = ex;
                endPenY = ey;
            } else if (j < ends.size() && ends[j].type == Type::StyleChange) {
                ++j;
            }
            r.newStyles = false;
            shape.records.push_back(r);
            continue;
        }
        // The end shape may move its pen where the start shape does not.
        while (j < ends.size() && ends[j].type == Type::StyleChange) {
            if (ends[j].hasMove) {
                endPenX = ends[j].x;
                endPenY = ends[j].y;
            }
            ++j;
        }
        if (j >= ends.size()) break;
        const ShapeRecord& e = ends[j++];
        double scx = s.type == Type::Curve ? s.cx : (startPenX + s.x) / 2;
        double scy = s.type == Type::Curve ? s.cy : (startPenY + s.y) / 2;
        double ecx = e.type == Type::Curve ? e.cx : (endPenX + e.x) / 2;
        double ecy = e.type == Type::Curve ? e.cy : (endPenY + e.y) / 2;
        r.type = s.type == Type::Straight && e.type == Type::Straight ? Type::Straight : Type::Curve;
        r.x = mix(s.x, e.x, t);
        r.y = mix(s.y, e.y, t);
        r.cx = mix(scx, ecx, t);
        r.cy = mix(scy, ecy, t);
        startPenX = s.x;
        startPenY = s.y;
        endPenX = e.x;
        endPenY = e.y;
        shape.records.push_back(r);
    }
    return shape;
}

}  // namespace flashgrab
