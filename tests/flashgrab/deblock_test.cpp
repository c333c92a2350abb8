#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "flashgrab/h263_deblock.h"

namespace flashgrab {
namespace {

TEST(Deblock, SoftensSmallStepsAtBlockEdgesOnly) {
    // 16 x 16, 8 x 8 blocks: the left blocks 100, the right ones 110; a flat plane stays as it is.
    constexpr int kSide = 16, kStride = 20;
    std::vector<std::uint8_t> plane(kStride * kSide, 0);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) plane[y * kStride + x] = x < 8 ? 100 : 110;
    std::vector<std::uint8_t> flat(kStride * kSide, 77);
    deblockPlane(flat.data(), kSide, kSide, kStride, deblockStrength(31));
    EXPECT_EQ(flat, std::vector<std::uint8_t>(kStride * kSide, 77));

    deblockPlane(plane.data(), kSide, kSide, kStride, deblockStrength(31));
    for (int y = 0; y < kSide; ++y) {
        const std::uint8_t* row = &plane[y * kStride];
        EXPECT_GT(row[7], 100) << "the edge is smoothed from both sides";
        EXPECT_LT(row[8], 110);
        EXPECT_LE(row[7], row[8]);
        EXPECT_EQ(row[0], 100) << "pixels away from the edge keep their value";
        EXPECT_EQ(row[15], 110);
        EXPECT_EQ(row[16], 0) << "nothing is written past the plane's width";
    }
}

TEST(Deblock, SorensonHeaderGivesFlagAndQuantizer) {
    // Start code, version 0, temporal reference 0, size 2 (no size fields), type 0, deblocking 1,
    // quantizer 10.
    const std::array<std::uint8_t, 6> picture = {0x00, 0x00, 0x80, 0x01, 0x15, 0x00};
    auto header = readSorensonDeblocking(picture);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->requested);
    EXPECT_EQ(header->quantizer, 10);
    EXPECT_FALSE(readSorensonDeblocking(std::array<std::uint8_t, 3>{0x12, 0x34, 0x56}));
    EXPECT_FALSE(readSorensonDeblocking(std::span<const std::uint8_t>(picture.data(), 4)));
    EXPECT_EQ(deblockStrength(0), 0);
    EXPECT_EQ(deblockStrength(99), 0);
}

}  // namespace
}  // namespace flashgrab
