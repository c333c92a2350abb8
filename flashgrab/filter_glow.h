#pragma once

#include "flashgrab/filters.h"

namespace flashgrab {

// Drop shadow and glow: the object's blurred coverage, moved, tinted and put under, inside or instead of
// the object. Premultiplied ARGB32 pixels; scales as for applyFilters.
void applyShadow(const Filter& f, unsigned char* data, int width, int height, int stride, double scaleX, double scaleY);

// Bevel: the blurred coverage compared with itself moved both ways along the angle; where it grows the
// highlight shows, where it shrinks the shadow.
void applyBevel(const Filter& f, unsigned char* data, int width, int height, int stride, double scaleX, double scaleY);

}  // namespace flashgrab
