#pragma once

#include <cairo.h>

namespace flashgrab {

// At high quality Flash draws a bitmap shrunk to half its size or less from a copy halved as often as that
// allows, which smooths away the pattern a single sample per pixel would leave. The level is how often to
// halve for a bitmap drawn at scale (device pixels per bitmap pixel): 0 at half size and above.
int mipmapLevel(double scale, int width, int height);

// A new ARGB32 surface of half the size (rounded up), each pixel the mean of the 2 x 2 pixels it covers.
cairo_surface_t* halvedSurface(cairo_surface_t* source);

}  // namespace flashgrab
