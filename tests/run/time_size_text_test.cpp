#include <gtest/gtest.h>

#include "run/time_size_text.h"

namespace torvane {
namespace {

TEST(TimeSizeText, Durations) {
    EXPECT_EQ(formatDuration(0, DurationStyle::Words), "0 초");
    EXPECT_EQ(formatDuration(-5, DurationStyle::Clock), "0 초");
    EXPECT_EQ(formatDuration(-5, DurationStyle::Timer), "00:00:00");
    EXPECT_EQ(formatDuration(3725, DurationStyle::Timer), "01:02:05");
    EXPECT_EQ(formatDuration(59, DurationStyle::Words), " 59초");
    EXPECT_EQ(formatDuration(59, DurationStyle::Clock), "00:00:59");
    EXPECT_EQ(formatDuration(3725, DurationStyle::Words), " 1시 2분 5초");
    EXPECT_EQ(formatDuration(3600, DurationStyle::Words), " 1시");
    EXPECT_EQ(formatDuration(120, DurationStyle::Words), " 2분");
    EXPECT_EQ(formatDuration(25 * 3600 + 61, DurationStyle::Clock), "25:01:01");
    EXPECT_EQ(formatDuration(2147483647, DurationStyle::Clock), "596523:14:07");
}

TEST(TimeSizeText, SizesStepBy1024AndShowTheIntegerQuotient) {
    EXPECT_EQ(formatSize(0), "0 Bytes");
    EXPECT_EQ(formatSize(1023), "1023 Bytes");
    EXPECT_EQ(formatSize(1024), "1 KB");
    EXPECT_EQ(formatSize(2047), "1 KB");
    EXPECT_EQ(formatSize(2048, SizeDecimals::Two), "2 KB");
    EXPECT_EQ(formatSize(5242880, SizeDecimals::One), "5 MB");
    EXPECT_EQ(formatSize(3LL << 30), "3 GB");
    EXPECT_EQ(formatSize(5LL << 40), "5 ");  // past GB the unit text is empty
}

}  // namespace
}  // namespace torvane
