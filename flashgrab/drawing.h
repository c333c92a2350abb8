#pragma once

#include "flashgrab/display_list.h"

namespace flashgrab {

// The drawing API of movie clips, building a Shape the renderer draws like a DefineShape. Coordinates
// are in pixels, as scripts give them; the shape holds twips.
namespace drawing {

void beginFill(Drawing& d, Rgba color);
// width in pixels; a negative width means no line.
void lineStyle(Drawing& d, double width, Rgba color);
void moveTo(Drawing& d, double x, double y);
void lineTo(Drawing& d, double x, double y);
void curveTo(Drawing& d, double cx, double cy, double x, double y);
void endFill(Drawing& d);
void clear(Drawing& d);

}  // namespace drawing

// The box an instance covers in the space matrix maps it to (twips); nullopt when it draws nothing.
std::optional<Rect> boundsIn(const Instance& instance, const Matrix& matrix, const Movie& movie, int nesting = 0);

}  // namespace flashgrab
