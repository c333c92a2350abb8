#pragma once

#include <cairo.h>

namespace flashgrab {

// The blend modes whose result is worked out channel by channel from the two colours.
enum class SeparableBlend { Multiply, Screen, Lighten, Darken, Difference, Overlay, HardLight };

// Composites source onto target with the blend mode, with the same integer arithmetic as pixman's
// separable blend operators (and so the same pixels as cairo's operator), in one pass over the
// pixels both cover. pixman fetches, combines and stores each row through buffers on a general
// path; this pass is several times faster for the stage-sized layers animations blend every frame.
// Both are ARGB32 image surfaces; their device offsets say how they line up. False, leaving the
// target untouched, for any other kind of surface.
bool compositeSeparable(cairo_surface_t* target, cairo_surface_t* source, SeparableBlend blend);

}  // namespace flashgrab
