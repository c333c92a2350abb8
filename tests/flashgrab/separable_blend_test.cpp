#include "flashgrab/separable_blend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

namespace flashgrab {
namespace {

// A surface of random premultiplied pixels: every alpha from clear to opaque, colour never above it.
cairo_surface_t* randomSurface(int width, int height, std::mt19937& random) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            // A third opaque, a tenth clear, the rest anything.
            const auto pick = static_cast<std::uint32_t>(random() % 30);
            const std::uint32_t a = pick < 10 ? 255 : pick < 13 ? 0 : static_cast<std::uint32_t>(random() % 256);
            std::uint32_t pixel = a << 24;
            for (int shift = 0; shift < 24; shift += 8)
                pixel |= (a == 0 ? 0 : static_cast<std::uint32_t>(random() % (a + 1))) << shift;
            row[x] = pixel;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

cairo_surface_t* copyOf(cairo_surface_t* surface) {
    const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(surface);
    cairo_surface_flush(copy);
    std::memcpy(cairo_image_surface_get_data(copy), cairo_image_surface_get_data(surface),
                static_cast<std::size_t>(cairo_image_surface_get_stride(surface)) * static_cast<std::size_t>(height));
    cairo_surface_mark_dirty(copy);
    return copy;
}

// The one pass gives the pixels cairo's own operator gives (within a level of rounding), for every
// mode, every alpha on both sides, and a layer that lies across the target's edge.
TEST(SeparableBlend, GivesWhatCairosOperatorGives) {
    const struct {
        SeparableBlend blend;
        cairo_operator_t op;
        const char* name;
    } modes[] = {{SeparableBlend::Multiply, CAIRO_OPERATOR_MULTIPLY, "multiply"},
                 {SeparableBlend::Screen, CAIRO_OPERATOR_SCREEN, "screen"},
                 {SeparableBlend::Lighten, CAIRO_OPERATOR_LIGHTEN, "lighten"},
                 {SeparableBlend::Darken, CAIRO_OPERATOR_DARKEN, "darken"},
                 {SeparableBlend::Difference, CAIRO_OPERATOR_DIFFERENCE, "difference"},
                 {SeparableBlend::Overlay, CAIRO_OPERATOR_OVERLAY, "overlay"},
                 {SeparableBlend::HardLight, CAIRO_OPERATOR_HARD_LIGHT, "hard light"}};
    std::mt19937 random(7);
    for (const auto& mode : modes) {
        cairo_surface_t* below = randomSurface(64, 48, random);
        cairo_surface_t* layer = randomSurface(40, 40, random);
        // The layer's pixel (0, 0) lies over the target's (30, 20): part of it hangs off the edge.
        cairo_surface_set_device_offset(layer, -30, -20);
        cairo_surface_t* byCairo = copyOf(below);
        cairo_t* cr = cairo_create(byCairo);
        cairo_set_source_surface(cr, layer, 0, 0);
        cairo_set_operator(cr, mode.op);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(byCairo);

        cairo_surface_t* ours = copyOf(below);
        ASSERT_TRUE(compositeSeparable(ours, layer, mode.blend));
        cairo_surface_flush(ours);

        int differing = 0, worst = 0;
        const unsigned char* a = cairo_image_surface_get_data(byCairo);
        const unsigned char* b = cairo_image_surface_get_data(ours);
        const std::size_t bytes = static_cast<std::size_t>(cairo_image_surface_get_stride(ours)) * 48;
        for (std::size_t i = 0; i < bytes; ++i) {
            const int difference = std::abs(int(a[i]) - int(b[i]));
            if (difference > 0) ++differing;
            worst = std::max(worst, difference);
        }
        EXPECT_LE(worst, 1) << mode.name;
        // Outside the layer nothing changed.
        EXPECT_EQ(std::memcmp(cairo_image_surface_get_data(below), b, static_cast<std::size_t>(20) * 64 * 4), 0)
            << mode.name;
        for (cairo_surface_t* surface : {below, layer, byCairo, ours}) cairo_surface_destroy(surface);
    }
}

TEST(SeparableBlend, RefusesSurfacesItCannotReadAndLeavesThemAlone) {
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 8);
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    EXPECT_FALSE(compositeSeparable(target, source, SeparableBlend::Overlay));
    cairo_surface_destroy(target);
    cairo_surface_destroy(source);
}

}  // namespace
}  // namespace flashgrab
