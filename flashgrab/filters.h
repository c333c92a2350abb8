#pragma once

#include <array>
#include <vector>

#include "flashgrab/bit_reader.h"

namespace flashgrab {

// The filters we apply; bevels, gradient glows and convolution are read and skipped.
struct Filter {
    enum class Type { Blur, ColorMatrix, Shadow } type = Type::Blur;
    double blurX = 0, blurY = 0;  // pixels
    int passes = 1;
    // Drop shadow and glow (a glow is a shadow at distance 0).
    std::array<double, 4> color{};  // r, g, b, a in 0..1
    double dx = 0, dy = 0;          // pixels
    double strength = 1;
    bool inner = false, knockout = false, hideObject = false;
    std::array<double, 20> matrix{};  // rows r, g, b, a: four factors and an offset in 0..255 units
};

// Reads a FILTERLIST; false when it does not parse (what was read is kept).
bool readFilters(BitReader& in, std::vector<Filter>& out);

// Applies the filters to premultiplied ARGB32 pixels. scale turns the filters' pixels into ours.
void applyFilters(const std::vector<Filter>& filters, unsigned char* data, int width, int height, int stride,
                  double scale);

}  // namespace flashgrab
