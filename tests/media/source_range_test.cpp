#include "media/source_range.h"

#include <gtest/gtest.h>

#include "media/source_item.h"

namespace torvane {
namespace {

TEST(SourceRange, TimeTextsInSecondsOrClockForm) {
    EXPECT_EQ(parseTimeText("90"), 90.0);
    EXPECT_EQ(parseTimeText(" 2.5 "), 2.5);
    EXPECT_EQ(parseTimeText("1:30"), 90.0);
    EXPECT_EQ(parseTimeText("1:02:03.25"), 3723.25);
    EXPECT_EQ(parseTimeText("0:00:07"), 7.0);
    for (const char* wrong : {"", "abc", "1:2:3:4", "-5", "1:60", "1.5:00", "5s", ".5", "1..2", "1:", ":30"}) {
        EXPECT_EQ(parseTimeText(wrong), std::nullopt) << wrong;
    }
    EXPECT_EQ(formatTimeText(3723.25), "01:02:03.250");
    EXPECT_EQ(formatTimeText(7.0), "00:00:07");
    EXPECT_EQ(formatTimeText(59.9996), "00:01:00");
    EXPECT_EQ(encoderSecondsText(2.5), "2.5");
    EXPECT_EQ(encoderSecondsText(3.0), "3");
    EXPECT_EQ(encoderSecondsText(1.2345), "1.234");
}

TEST(SourceRange, DialogTextsMakeARangeOrSayWhyNot) {
    std::string problem;
    const auto range = readRange("1", "0:00:03.5", 10.0, &problem);
    ASSERT_TRUE(range);
    EXPECT_EQ(range->startSeconds, 1.0);
    EXPECT_EQ(range->endSeconds, 3.5);
    // Empty fields are the source's start and end; an end at or past the end is the end.
    EXPECT_EQ(readRange("", "", 10.0, &problem)->endSeconds, 0.0);
    EXPECT_EQ(readRange("2", "12", 10.0, &problem)->endSeconds, 0.0);
    EXPECT_EQ(readRange("2", "12", 0.0, &problem)->endSeconds, 12.0);  // an unknown length limits nothing

    EXPECT_FALSE(readRange("abc", "", 10.0, &problem));
    EXPECT_NE(problem.find("시작 시간을 읽을 수 없습니다: \"abc\""), std::string::npos);
    EXPECT_FALSE(readRange("", "3초", 10.0, &problem));
    EXPECT_NE(problem.find("끝 시간을 읽을 수 없습니다"), std::string::npos);
    EXPECT_FALSE(readRange("5", "4", 10.0, &problem));
    EXPECT_EQ(problem, "끝 시간은 시작 시간보다 뒤여야 합니다.");
    EXPECT_FALSE(readRange("5", "5", 10.0, &problem));
    EXPECT_FALSE(readRange("", "0", 10.0, &problem));
    EXPECT_FALSE(readRange("10", "", 10.0, &problem));
    EXPECT_EQ(problem, "시작 시간이 파일의 길이(00:00:10)보다 뒤에 있습니다.");
}

TEST(SourceRange, ConvertedSecondsOfAnItem) {
    SourceItem item;
    item.media.durationExact = 10.0f;
    EXPECT_FALSE(hasRange(item));
    EXPECT_EQ(convertedSeconds(item), 10.0);
    item.rangeStartSeconds = 4.0;
    EXPECT_TRUE(hasRange(item));
    EXPECT_EQ(convertedSeconds(item), 6.0);
    item.rangeEndSeconds = 5.5;
    EXPECT_EQ(convertedSeconds(item), 1.5);
}

}  // namespace
}  // namespace torvane
