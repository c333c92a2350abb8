#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "flashgrab/shape.h"

namespace flashgrab {

struct MorphShape {
    StyleGroup start, end;  // matching entries: the styles at ratio 0 and at ratio 65535
    std::vector<ShapeRecord> startRecords, endRecords;
};

// tagCode 46 (DefineMorphShape) or 84 (DefineMorphShape2); body after the character id.
MorphShape readMorphShape(int tagCode, std::span<const std::uint8_t> body);

// The shape at t = ratio / 65535: styles and edge positions interpolated linearly. Where one side has a
// straight edge and the other a curve, the straight edge becomes a curve with its control at the middle.
Shape morphAt(const MorphShape& morph, double t);

}  // namespace flashgrab
