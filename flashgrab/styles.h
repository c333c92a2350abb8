#pragma once

#include <vector>

#include "flashgrab/bit_reader.h"
#include "flashgrab/swf_records.h"

namespace flashgrab {

enum class FillKind { Solid, Linear, Radial, Focal, Bitmap };
enum class Spread { Pad = 0, Reflect = 1, Repeat = 2 };

struct GradientStop {
    double ratio = 0;  // 0..255
    Rgba color;
};

struct Gradient {
    Spread spread = Spread::Pad;
    bool linearRgb = false;
    double focal = 0;  // -1..1 along the x axis, focal gradients only
    std::vector<GradientStop> stops;
};

struct FillStyle {
    FillKind kind = FillKind::Solid;
    Rgba color;
    Matrix matrix;  // gradient square or bitmap pixels to shape twips
    Gradient gradient;
    int bitmapId = 0;
    bool repeat = true;
    bool smooth = true;
};

enum class Cap { Round = 0, None = 1, Square = 2 };
enum class Join { Round = 0, Bevel = 1, Miter = 2 };

struct LineStyle {
    double width = 0;  // twips
    Rgba color;
    bool hasFill = false;
    FillStyle fill;
    Cap cap = Cap::Round;  // at the start of each open path
    Cap endCap = Cap::Round;
    Join join = Join::Round;
    double miterLimit = 3;
    // The width stays in stage pixels when the shape is scaled along that axis.
    bool noHScale = false, noVScale = false;
};

// Fill and line styles in effect between two "new styles" records.
struct StyleGroup {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
};

// shapeVersion 1..4 (DefineShape, DefineShape2, ...); font glyphs use 1.
FillStyle readFillStyle(BitReader& in, int shapeVersion);
StyleGroup readStyleGroup(BitReader& in, int shapeVersion);

}  // namespace flashgrab
