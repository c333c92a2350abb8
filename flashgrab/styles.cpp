#include "flashgrab/styles.h"

namespace flashgrab {
namespace {

// Bounds how much a forged count can make us allocate; far above anything real.
constexpr int kMaxStyles = 65535;

Rgba readColor(BitReader& in, int shapeVersion) {
    return shapeVersion >= 3 ? readRgba(in) : readRgb(in);
}

int readCount(BitReader& in, int shapeVersion) {
    int count = in.u8();
    if (count == 0xFF && shapeVersion >= 2) count = in.u16();
    return count;
}

}  // namespace

FillStyle readFillStyle(BitReader& in, int shapeVersion) {
    FillStyle fill;
    int type = in.u8();
    switch (type) {
        case 0x00:
            fill.kind = FillKind::Solid;
            fill.color = readColor(in, shapeVersion);
            break;
        case 0x10:
        case 0x12:
        case 0x13: {
            fill.kind = type == 0x10 ? FillKind::Linear : type == 0x12 ? FillKind::Radial : FillKind::Focal;
            fill.matrix = readMatrix(in);
            int head = in.u8();
            int spread = head >> 6;
            fill.gradient.spread = spread == 1 ? Spread::Reflect : spread == 2 ? Spread::Repeat : Spread::Pad;
            fill.gradient.linearRgb = ((head >> 4) & 3) == 1;
            int count = head & 15;
            for (int i = 0; i < count && in.ok(); ++i) {
                GradientStop stop;
                stop.ratio = in.u8();
                stop.color = readColor(in, shapeVersion);
                fill.gradient.stops.push_back(stop);
            }
            if (type == 0x13) fill.gradient.focal = in.fixed8();
            break;
        }
        case 0x40:
        case 0x41:
        case 0x42:
        case 0x43:
            fill.kind = FillKind::Bitmap;
            fill.bitmapId = in.u16();
            fill.matrix = readMatrix(in);
            fill.repeat = type == 0x40 || type == 0x42;
            fill.smooth = type == 0x40 || type == 0x41;
            break;
        default:
            // An unknown fill type leaves the rest of the record unreadable.
            in.skip(in.remaining() + 1);
            break;
    }
    return fill;
}

StyleGroup readStyleGroup(BitReader& in, int shapeVersion) {
    StyleGroup group;
    int fills = readCount(in, shapeVersion);
    for (int i = 0; i < fills && i < kMaxStyles && in.ok(); ++i) group.fills.push_back(readFillStyle(in, shapeVersion));
    int lines = readCount(in, shapeVersion);
    for (int i = 0; i < lines && i < kMaxStyles && in.ok(); ++i) {
        LineStyle line;
        line.width = in.u16();
        if (shapeVersion == 4) {
            int startCap = static_cast<int>(in.ub(2));
            int join = static_cast<int>(in.ub(2));
            bool hasFill = in.ub(1) != 0;
            line.noHScale = in.ub(1) != 0;
            line.noVScale = in.ub(1) != 0;
            in.ub(1);  // pixel hinting
            in.ub(5);
            in.ub(1);  // no-close: open paths are never closed by us anyway
            int endCap = static_cast<int>(in.ub(2));
            auto capOf = [](int code) { return code == 1 ? Cap::None : code == 2 ? Cap::Square : Cap::Round; };
            line.cap = capOf(startCap);
            line.endCap = capOf(endCap);
            line.join = join == 1 ? Join::Bevel : join == 2 ? Join::Miter : Join::Round;
            if (join == 2) line.miterLimit = in.fixed8();
            if (hasFill) {
                line.hasFill = true;
                line.fill = readFillStyle(in, shapeVersion);
                line.color = line.fill.color;
            } else {
                line.color = readRgba(in);
            }
        } else {
            line.color = readColor(in, shapeVersion);
        }
        group.lines.push_back(line);
    }
    return group;
}

}  // namespace flashgrab
