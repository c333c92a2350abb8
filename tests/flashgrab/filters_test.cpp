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
    applyFilters({swap}, reinterpret_cast<unsigned char*>(&pixel), 1, 1, 4, 1, 1);
    EXPECT_EQ(pixel, 0x80000080u);
}

TEST(Filters, BlurSpreadsWithoutLosingCoverageOrLeavingTheImage) {
    Filter blur;
    blur.blurX = blur.blurY = 4;
    blur.passes = 1;
    std::vector<std::uint32_t> pixels(15 * 15, 0);
    pixels[7 * 15 + 7] = 0xFFFFFFFFu;
    applyFilters({blur}, reinterpret_cast<unsigned char*>(pixels.data()), 15, 15, 15 * 4, 1, 1);
    double alpha = 0;
    for (std::uint32_t p : pixels) alpha += p >> 24;
    EXPECT_NEAR(alpha, 255, 30) << "a box blur keeps the total coverage";
    EXPECT_GT(pixels[7 * 15 + 9] >> 24, 0u);
    EXPECT_EQ(pixels[0], 0u) << "a 2-pixel radius does not reach the corner";

    // A radius larger than the image is clamped rather than read out of bounds.
    Filter huge = blur;
    huge.blurX = huge.blurY = 1e6;
    applyFilters({huge}, reinterpret_cast<unsigned char*>(pixels.data()), 15, 15, 15 * 4, 10, 10);
}

TEST(Filters, BevelLightsTheSideTheAngleComesFromAndShadowsTheOther) {
    // An opaque grey square; light from the top left (45 degrees, shifted down and right).
    constexpr int kSide = 24;
    std::vector<std::uint32_t> pixels(kSide * kSide, 0);
    for (int y = 8; y < 16; ++y)
        for (int x = 8; x < 16; ++x) pixels[y * kSide + x] = 0xFF808080u;
    Filter bevel;
    bevel.type = Filter::Type::Bevel;
    bevel.highlight = {1, 1, 1, 1};
    bevel.color = {0, 0, 0, 1};
    bevel.blurX = bevel.blurY = 3;
    bevel.dx = bevel.dy = 2;
    bevel.strength = 1;
    bevel.inner = true;
    applyFilters({bevel}, reinterpret_cast<unsigned char*>(pixels.data()), kSide, kSide, kSide * 4, 1, 1);
    auto red = [&](int x, int y) { return (pixels[y * kSide + x] >> 16) & 0xFF; };
    EXPECT_GT(red(8, 8), 0x80u) << "the top left corner is lit";
    EXPECT_LT(red(15, 15), 0x80u) << "the bottom right corner is shaded";
    EXPECT_EQ(pixels[2 * kSide + 2], 0u) << "an inner bevel stays inside the object";
}

}  // namespace
}  // namespace flashgrab
