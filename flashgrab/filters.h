#pragma once

#include <array>
#include <vector>

#include "flashgrab/bit_reader.h"

namespace flashgrab {

// The filters we apply; gradient glows, gradient bevels and convolution are read and skipped.
struct Filter {
    enum class Type { Blur, ColorMatrix, Shadow, Bevel } type = Type::Blur;
    double blurX = 0, blurY = 0;  // pixels
    int passes = 1;               // 0 blurs nothing
    // Drop shadow and glow (a glow is a shadow at distance 0); a bevel's shadow side.
    std::array<double, 4> color{};  // r, g, b, a in 0..1
    // A bevel's lit side.
    std::array<double, 4> highlight{};
    double dx = 0, dy = 0;  // pixels
    double strength = 1;
    // onTop: a bevel both inside and outside the object.
    bool inner = false, knockout = false, compositeSource = true, onTop = false;
    std::array<double, 20> matrix{};  // rows r, g, b, a: four factors and an offset in 0..255 units
};

// Reads a FILTERLIST; false when it does not parse (what was read is kept).
bool readFilters(BitReader& in, std::vector<Filter>& out);

// Applies the filters to premultiplied ARGB32 pixels. scaleX and scaleY turn the filters' pixels into ours
// (the stage's scale; nothing between the stage and the object scales a filter).
void applyFilters(const std::vector<Filter>& filters, unsigned char* data, int width, int height, int stride,
                  double scaleX, double scaleY);

// How far, in our pixels, the filters can reach beyond the object.
double filterReach(const std::vector<Filter>& filters, double scaleX, double scaleY);

}  // namespace flashgrab
