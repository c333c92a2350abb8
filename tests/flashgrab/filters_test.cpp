#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

#include "flashgrab/filters.h"

namespace flashgrab {
namespace {

TEST(Filters, ColorMatrixWorksOnUnpremultipliedColour) {
    Filter swap;
    swap.type = Filter::Type::ColorMatrix;
    // red <- blue, green <- green, blue <- red, alpha <- alpha
    swap.matrix = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    // Half-transparent pure red, premultiplied: 0x80 alpha, 0x80 red.
    std::uint32_t pixel = 0x80800000u;
    applyFilters({swap}, reinterpret_cast<unsigned char*>(&pixel), 1, 1, 4, 1);
    EXPECT_EQ(pixel, 0x80000080u);
}

TEST(Filters, BlurSpreadsWithoutLosingCoverageOrLeavingTheImage) {
    Filter blur;
    blur.blurX = blur.blurY = 4;
    blur.passes = 1;
    std::vector<std::uint32_t> pixels(15 * 15, 0);
    pixels[7 * 15 + 7] = 0xFFFFFFFFu;
    applyFilters({blur}, reinterpret_cast<unsigned char*>(pixels.data()), 15, 15, 15 * 4, 1);
    double alpha = 0;
    for (std::uint32_t p : pixels) alpha += p >> 24;
    EXPECT_NEAR(alpha, 255, 30) << "a box blur keeps the total coverage";
    EXPECT_GT(pixels[7 * 15 + 9] >> 24, 0u);
    EXPECT_EQ(pixels[0], 0u) << "a 2-pixel radius does not reach the corner";

    // A radius larger than the image is clamped rather than read out of bounds.
    Filter huge = blur;
    huge.blurX = huge.blurY = 1e6;
    applyFilters({huge}, reinterpret_cast<unsigned char*>(pixels.data()), 15, 15, 15 * 4, 10);
}

}  // namespace
}  // namespace flashgrab
