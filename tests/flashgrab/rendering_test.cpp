#include <gtest/gtest.h>

#include "flashgrab/display_list.h"
#include "flashgrab/frame_loop.h"
#include "flashgrab/renderer.h"
#include "swf_builder.h"

namespace flashgrab {
namespace {

using namespace flashgrab::test;

std::unique_ptr<Movie> build(const std::vector<std::uint8_t>& bytes) {
    auto file = parseSwf(bytes);
    return file ? buildMovie(std::move(*file)) : nullptr;
}

// BGR24 frames of a movie at a size.
std::vector<std::vector<std::uint8_t>> frames(const Movie& movie, int width, int height,
                                              Quality quality = Quality::Low) {
    std::vector<std::vector<std::uint8_t>> out;
    playFrames(movie, {width, height}, quality, {}, [&out](const std::uint8_t* data, std::size_t size) {
        out.emplace_back(data, data + size);
        return true;
    });
    return out;
}

std::array<int, 3> pixel(const std::vector<std::uint8_t>& frame, int width, int x, int y) {
    std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return {frame[at], frame[at + 1], frame[at + 2]};
}

TEST(Rendering, FramesAreBgrOverTheBackgroundColourAndScaleTheStage) {
    // A 100x100 stage, blue rectangle over its left half, red background; drawn at 50x20.
    auto movie = build(test::movie(100, 100, 2,
                                   {backgroundTag(255, 0, 0), rectangleShape(1, 0, 0, 1000, 2000, 0, 0, 255),
                                    placeObject(1, 1), showFrame(), showFrame()}));
    ASSERT_TRUE(movie);
    auto out = frames(*movie, 50, 20);
    ASSERT_EQ(out.size(), 2u);
    ASSERT_EQ(out[0].size(), 50u * 20 * 3);
    EXPECT_EQ(pixel(out[0], 50, 0, 0), (std::array<int, 3>{255, 0, 0})) << "blue first";
    EXPECT_EQ(pixel(out[0], 50, 24, 19), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(pixel(out[0], 50, 25, 0), (std::array<int, 3>{0, 0, 255})) << "red background, right half";
    EXPECT_EQ(pixel(out[0], 50, 49, 19), (std::array<int, 3>{0, 0, 255}));
}

TEST(Rendering, MissingBackgroundIsWhiteAndEitherFillSideFills) {
    for (bool fill0 : {false, true}) {
        auto movie = build(test::movie(
            10, 10, 1, {rectangleShape(1, 0, 0, 100, 200, 0, 255, 0, fill0), placeObject(1, 1), showFrame()}));
        ASSERT_TRUE(movie);
        auto out = frames(*movie, 10, 10);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(pixel(out[0], 10, 2, 5), (std::array<int, 3>{0, 255, 0})) << "fill0 " << fill0;
        EXPECT_EQ(pixel(out[0], 10, 7, 5), (std::array<int, 3>{255, 255, 255})) << "fill0 " << fill0;
    }
}

TEST(Rendering, TimelineRemovesAndZeroFramesGiveNothing) {
    auto movie = build(test::movie(10, 10, 3,
                                   {rectangleShape(1, 0, 0, 200, 200, 0, 0, 0), placeObject(1, 1), showFrame(),
                                    removeObject(1), showFrame(), placeObject(2, 1, 0, 0), showFrame()}));
    ASSERT_TRUE(movie);
    auto out = frames(*movie, 10, 10);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(pixel(out[0], 10, 5, 5)[0], 0);
    EXPECT_EQ(pixel(out[1], 10, 5, 5)[0], 255) << "removed in frame 2";
    EXPECT_EQ(pixel(out[2], 10, 5, 5)[0], 0) << "placed again in frame 3";

    auto empty = build(test::movie(10, 10, 0, {showFrame()}));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(frames(*empty, 10, 10).empty());
}

std::vector<std::uint8_t> stopAction() {
    return tag(12, {0x07, 0x00});
}

TEST(Rendering, SpritesAdvanceFromTheFrameTheyWerePlacedAndPlainStopHolds) {
    // Sprite 2: frame 1 shows the black square, frame 2 removes it, then it loops.
    auto blinking = defineSprite(2, 2, {placeObject(1, 1), showFrame(), removeObject(1), showFrame()});
    auto movie = build(test::movie(10, 10, 4,
                                   {rectangleShape(1, 0, 0, 200, 200, 0, 0, 0), blinking, showFrame(),
                                    placeObject(1, 2), showFrame(), showFrame(), showFrame()}));
    ASSERT_TRUE(movie);
    auto out = frames(*movie, 10, 10);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(pixel(out[0], 10, 5, 5)[0], 255) << "not placed yet";
    EXPECT_EQ(pixel(out[1], 10, 5, 5)[0], 0) << "its frame 1";
    EXPECT_EQ(pixel(out[2], 10, 5, 5)[0], 255) << "its frame 2";
    EXPECT_EQ(pixel(out[3], 10, 5, 5)[0], 0) << "looped to its frame 1";

    // The same sprite with stop() in its first frame stays there.
    auto held = defineSprite(2, 2, {placeObject(1, 1), stopAction(), showFrame(), removeObject(1), showFrame()});
    auto stopped = build(test::movie(
        10, 10, 3,
        {rectangleShape(1, 0, 0, 200, 200, 0, 0, 0), held, placeObject(1, 2), showFrame(), showFrame(), showFrame()}));
    ASSERT_TRUE(stopped);
    for (const auto& frame : frames(*stopped, 10, 10)) EXPECT_EQ(pixel(frame, 10, 5, 5)[0], 0);
}

TEST(Rendering, AnObjectScaledToNothingDoesNotStopTheRestFromDrawing) {
    // A zero matrix is singular: cairo would refuse it and draw nothing more in that frame or later.
    auto movie = build(test::movie(10, 10, 2,
                                   {rectangleShape(1, 0, 0, 200, 200, 0, 0, 0), placeScaled(1, 1, 0), placeObject(2, 1),
                                    showFrame(), showFrame()}));
    ASSERT_TRUE(movie);
    auto out = frames(*movie, 10, 10);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(pixel(out[0], 10, 5, 5)[0], 0);
    EXPECT_EQ(pixel(out[1], 10, 5, 5)[0], 0);
}

TEST(Rendering, ShrunkBitmapsAreDrawnFromHalvedCopiesAtHighQualityOnly) {
    // A checkerboard of single pixels drawn at a quarter of its size: its twice-halved copy is even grey,
    // while sampling the bitmap itself, as low quality does, hits one of its pixels.
    std::vector<std::uint32_t> board;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) board.push_back((x + y) % 2 ? 0xFFFFFF : 0x000000);
    auto movie = build(test::movie(
        4, 4, 1, {losslessBitmap(1, 16, 16, board), bitmapSquareShape(2, 1, 80, 5), placeObject(1, 2), showFrame()}));
    ASSERT_TRUE(movie);
    auto high = frames(*movie, 4, 4, Quality::High);
    auto low = frames(*movie, 4, 4, Quality::Low);
    ASSERT_EQ(high.size(), 1u);
    ASSERT_EQ(low.size(), 1u);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_NEAR(pixel(high[0], 4, x, y)[0], 128, 1) << x << "," << y;
            int sampled = pixel(low[0], 4, x, y)[0];
            EXPECT_TRUE(sampled == 0 || sampled == 255) << x << "," << y << ": " << sampled;
        }
    }
}

TEST(Rendering, AShrunkBitmapPlacedByItselfIsDrawnFromItsOwnPixels) {
    // Halved copies are kept by character id; a bitmap placed by itself must not borrow those of character 0.
    std::vector<std::uint32_t> white(16 * 16, 0xFFFFFF), black(16 * 16, 0x000000);
    auto movie = build(test::movie(
        4, 4, 1,
        {losslessBitmap(0, 16, 16, white), losslessBitmap(1, 16, 16, black), placeScaled(1, 1, 1 << 14), showFrame()}));
    ASSERT_TRUE(movie);
    auto out = frames(*movie, 4, 4, Quality::High);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(pixel(out[0], 4, 1, 1)[0], 0);
}

TEST(Rendering, EditTextBorderLeavesOutItsBottomRightCornerPixel) {
    // A bordered, empty field from (2, 2) to (12, 12) pixels over a grey background.
    BitWriter field;
    field.u16(1);
    rect(field, 40, 240, 40, 240);
    field.u8(0);
    field.u8(0x08);  // border
    field.u8(0);     // no variable name
    auto movie = build(
        test::movie(20, 20, 1, {backgroundTag(128, 128, 128), tag(37, field.bytes()), placeObject(1, 1), showFrame()}));
    ASSERT_TRUE(movie);
    auto out = frames(*movie, 20, 20);
    ASSERT_EQ(out.size(), 1u);
    const std::array<int, 3> black{0, 0, 0}, white{255, 255, 255};
    EXPECT_EQ(pixel(out[0], 20, 2, 2), black);
    EXPECT_EQ(pixel(out[0], 20, 12, 2), black);
    EXPECT_EQ(pixel(out[0], 20, 2, 12), black);
    EXPECT_EQ(pixel(out[0], 20, 12, 11), black);
    EXPECT_EQ(pixel(out[0], 20, 11, 12), black);
    EXPECT_EQ(pixel(out[0], 20, 7, 7), white) << "the field's background";
    EXPECT_EQ(pixel(out[0], 20, 12, 12), white) << "the corner the border's lines do not reach";
    EXPECT_EQ(pixel(out[0], 20, 13, 7), (std::array<int, 3>{128, 128, 128}));
}

}  // namespace
}  // namespace flashgrab
