#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "flashgrab/mipmap.h"
#include "flashgrab/paint.h"

namespace flashgrab {
namespace {

// Paints a horizontal linear gradient across a 256x1 image so that pixel x shows table entry x, and returns
// each pixel as {r, g, b}.
std::array<std::array<int, 3>, 256> paintRamp(const std::vector<GradientStop>& stops) {
    FillStyle fill;
    fill.kind = FillKind::Linear;
    // The gradient square's -16384..16384 spans the image's 256 pixels.
    fill.matrix = Matrix{1 / 128.0, 0, 0, 1 / 128.0, 128, 0};
    fill.gradient.stops = stops;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 256, 1);
    cairo_t* cr = cairo_create(surface);
    setFillSource(cr, fill, ColorTransform{}, PaintOptions{});
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::array<std::array<int, 3>, 256> out{};
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
    for (int x = 0; x < 256; ++x)
        out[x] = {static_cast<int>((row[x] >> 16) & 0xFF), static_cast<int>((row[x] >> 8) & 0xFF),
                  static_cast<int>(row[x] & 0xFF)};
    cairo_surface_destroy(surface);
    return out;
}

void expectNear(const std::array<int, 3>& got, const std::array<int, 3>& want, int x) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 2) << "pixel " << x << " channel " << c;
}

GradientStop stop(double ratio, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {ratio, Rgba{r, g, b, 255}};
}

TEST(Paint, RepeatedRatioTakesOneEntryAndTheNextRampStartsFromTheLaterStop) {
    auto px = paintRamp({stop(0, 255, 0, 0), stop(100, 0, 255, 0), stop(100, 0, 0, 255), stop(200, 255, 255, 255)});
    expectNear(px[0], {255, 0, 0}, 0);
    expectNear(px[100], {0, 255, 0}, 100);
    // The second stop at 100 costs an entry, still filled with the stop before it.
    expectNear(px[101], {0, 255, 0}, 101);
    // Then blue to white, measured from ratio 100: entry 150 is half-way.
    expectNear(px[102], {5, 5, 255}, 102);
    expectNear(px[150], {128, 128, 255}, 150);
    expectNear(px[250], {255, 255, 255}, 250);
}

TEST(Paint, StopsGoingBackwardsAreTakenInTheOrderWritten) {
    // Sorting the stops would make 150..200 a green-to-white ramp; Flash goes on from blue at 100 instead.
    auto px = paintRamp({stop(50, 255, 0, 0), stop(150, 0, 255, 0), stop(100, 0, 0, 255), stop(200, 255, 255, 255)});
    expectNear(px[20], {255, 0, 0}, 20);
    expectNear(px[100], {128, 127, 0}, 100);
    expectNear(px[151], {0, 255, 0}, 151);
    expectNear(px[175], {191, 191, 255}, 175);
    expectNear(px[230], {255, 255, 255}, 230);
}

TEST(Paint, LastStopColourFillsPastTheFurthestWrittenEntry) {
    // The last stop lies behind the others: past 200 the table holds its colour, not the furthest stop's.
    auto px = paintRamp({stop(0, 0, 0, 0), stop(200, 0, 0, 255), stop(100, 255, 255, 0)});
    expectNear(px[200], {0, 0, 255}, 200);
    expectNear(px[201], {0, 0, 255}, 201);
    expectNear(px[230], {255, 255, 0}, 230);
}

std::uint32_t at(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    return reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(surface))[x];
}

void fill(cairo_surface_t* surface, std::uint32_t pixel) {
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < cairo_image_surface_get_height(surface); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(surface); ++x)
            reinterpret_cast<std::uint32_t*>(data + y * cairo_image_surface_get_stride(surface))[x] = pixel;
    cairo_surface_mark_dirty(surface);
}

TEST(Paint, SubtractAndInvertWorkOnTheTargetPixelsUnderTheSource) {
    for (PixelBlend blend : {PixelBlend::Subtract, PixelBlend::Invert}) {
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
        fill(target, 0xFFFF8833u);
        // A 3x3 source whose pixel (0, 0) lies over target pixel (2, 1); the rest hangs off the target's edge.
        cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3, 3);
        fill(source, 0xFFFF0000u);
        cairo_surface_set_device_offset(source, -2, -1);
        blendPixels(target, source, blend);
        std::uint32_t under = blend == PixelBlend::Subtract ? 0xFF008833u : 0xFF0077CCu;
        EXPECT_EQ(at(target, 2, 1), under);
        EXPECT_EQ(at(target, 3, 3), under);
        EXPECT_EQ(at(target, 1, 1), 0xFFFF8833u) << "left of the source";
        EXPECT_EQ(at(target, 3, 0), 0xFFFF8833u) << "above the source";
        cairo_surface_destroy(source);
        cairo_surface_destroy(target);
    }
}

TEST(Paint, InvertFollowsTheSourceCoverage) {
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    fill(target, 0xFF00FF40u);
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    // Half coverage: a premultiplied half-transparent white.
    fill(source, 0x80808080u);
    blendPixels(target, source, PixelBlend::Invert);
    std::uint32_t p = at(target, 0, 0);
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 128, 1) << "half-way between 0 and its negative 255";
    EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 127, 1);
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 1);
    cairo_surface_destroy(source);
    cairo_surface_destroy(target);
}

TEST(Paint, ShrunkBitmapsAreDrawnFromAveragedHalves) {
    EXPECT_EQ(mipmapLevel(0.5, 64, 64), 0);
    EXPECT_EQ(mipmapLevel(0.3, 64, 64), 1);
    EXPECT_EQ(mipmapLevel(0.12, 64, 64), 3);
    EXPECT_EQ(mipmapLevel(0.001, 4, 64), 2) << "never halved below one pixel";
    EXPECT_EQ(mipmapLevel(0, 64, 64), 0);

    // 3 x 1: the first two pixels average, the odd last one stays as it is.
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3, 1);
    auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(source));
    row[0] = 0xFF000000u;
    row[1] = 0xFFFFFFFFu;
    row[2] = 0x80402010u;
    cairo_surface_mark_dirty(source);
    cairo_surface_t* half = halvedSurface(source);
    ASSERT_EQ(cairo_image_surface_get_width(half), 2);
    ASSERT_EQ(cairo_image_surface_get_height(half), 1);
    const auto* out = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(half));
    EXPECT_EQ(out[0], 0xFF808080u);
    EXPECT_EQ(out[1], 0x80402010u);
    cairo_surface_destroy(half);
    cairo_surface_destroy(source);

    // Whole 2 x 2 blocks take a faster path (two channels in a word, several blocks at once): every
    // channel must still be the rounded mean, extremes and odd edges included.
    const int width = 37, height = 5;
    source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    const int stride = cairo_image_surface_get_stride(source) / 4;
    auto* pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(source));
    std::uint32_t seed = 12345;
    for (int i = 0; i < stride * height; ++i) {
        seed = seed * 1664525u + 1013904223u;
        pixels[i] = i % 7 == 0 ? 0xFFFFFFFFu : seed;
    }
    cairo_surface_mark_dirty(source);
    half = halvedSurface(source);
    const int halfStride = cairo_image_surface_get_stride(half) / 4;
    out = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(half));
    for (int y = 0; y < (height + 1) / 2; ++y) {
        for (int x = 0; x < (width + 1) / 2; ++x) {
            for (int c = 0; c < 32; c += 8) {
                std::uint32_t sum = 0, count = 0;
                for (int sy = 2 * y; sy < std::min(2 * y + 2, height); ++sy) {
                    for (int sx = 2 * x; sx < std::min(2 * x + 2, width); ++sx, ++count)
                        sum += (pixels[sy * stride + sx] >> c) & 0xFF;
                }
                ASSERT_EQ((out[y * halfStride + x] >> c) & 0xFF, (sum + count / 2) / count)
                    << x << "," << y << " " << c;
            }
        }
    }
    cairo_surface_destroy(half);
    cairo_surface_destroy(source);
}

}  // namespace
}  // namespace flashgrab
