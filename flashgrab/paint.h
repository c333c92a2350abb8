#pragma once

#include <cairo.h>

#include <functional>

#include "flashgrab/image.h"
#include "flashgrab/styles.h"

namespace flashgrab {

cairo_matrix_t toCairo(const Matrix& m);

// Wraps decoded pixels as a cairo surface without copying; the image must outlive it.
cairo_surface_t* surfaceOf(const Image& image);

// A copy of the surface's pixels with the colour transform applied (un-premultiplied, transformed,
// premultiplied again).
cairo_surface_t* transformedCopy(cairo_surface_t* source, const ColorTransform& cx);

struct PaintOptions {
    bool antialias = true;
    // Smoothed bitmap fills are drawn smoothed; Flash smooths them in movies of version 8 and later only
    // (and a shape's bitmap fills at low quality only: see Renderer::drawGeometry).
    bool smoothBitmaps = true;
    // Draws in full opacity whatever the style: masks only use coverage.
    bool maskOnly = false;
    // Looks up a bitmap's surface by character id; nullptr when there is none.
    std::function<cairo_surface_t*(int)> bitmap;
    // The bitmap halved level times (see mipmap.h); without it (low quality) shrunk bitmaps are drawn from the
    // bitmap.
    std::function<cairo_surface_t*(int id, int level)> halvedBitmap;
};

enum class PixelBlend { Subtract, Invert };

// Composites source onto target with a blend mode cairo has no operator for: subtract takes the source's
// (premultiplied) colour away from what is below, invert turns what is below to its negative where the source
// covers it. Both are image surfaces; their device offsets say how they line up. The result's alpha is the
// usual "over" alpha.
void blendPixels(cairo_surface_t* target, cairo_surface_t* source, PixelBlend blend);

// Sets cr's source for the fill style. Gradient squares and bitmap matrices are taken relative to the
// current transformation matrix, which must be the shape's.
void setFillSource(cairo_t* cr, const FillStyle& fill, const ColorTransform& cx, const PaintOptions& options);

}  // namespace flashgrab
