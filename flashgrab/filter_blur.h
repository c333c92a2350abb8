#pragma once

#include <vector>

namespace flashgrab {

// A filter blur's box width in our pixels: the filter's width scaled by the stage, where a width of one
// pixel (no blur) stays one pixel; capped at 255 as Flash caps it.
double scaledBlurWidth(double blur, double scale);

// Blurs a plane of 0..255 values (width * height, rows top to bottom) with passes of a box blur of the
// given widths, the way Flash's filters do: the two outermost pixels weigh the width's fraction, and every
// pass rounds down to whole levels. Widths of one pixel or less leave that direction alone.
void blurPlane(std::vector<float>& plane, int width, int height, double boxX, double boxY, int passes);

}  // namespace flashgrab
