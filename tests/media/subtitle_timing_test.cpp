#include <gtest/gtest.h>

#include "media/subtitle_timing.h"

namespace torvane {
namespace {

// A range from 2 seconds at double speed: the cue before it goes, the one across its start
// begins at 0, the rest are moved and halved, and the numbers follow again.
TEST(SubtitleTiming, CuesMoveToTheOutputsClock) {
    const std::string srt =
        "1\n00:00:00,500 --> 00:00:01,500\nbefore\n\n"
        "2\r\n00:00:01,000 --> 00:00:03,000\r\nacross\r\nsecond line\r\n\r\n"
        "3\n01:00:04,000 --> 01:00:05,250\n한 시간 뒤\n";
    EXPECT_EQ(retimeSrt(srt, -2.0, 2.0),
              "1\n00:00:00,000 --> 00:00:00,500\nacross\r\nsecond line\r\n\r\n"
              "2\n00:30:01,000 --> 00:30:01,625\n한 시간 뒤\n");

    const std::string ass =
        "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
        "Dialogue: 0,0:00:00.50,0:00:01.50,Default,,0,0,0,,before\n"
        "Dialogue: 0,0:00:03.00,0:00:04.25,Default,,0,0,0,,쉼표, 그대로\n";
    EXPECT_EQ(retimeAss(ass, 1.5, 1.0),
              "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
              "Dialogue: 0,0:00:02.00,0:00:03.00,Default,,0,0,0,,before\n"
              "Dialogue: 0,0:00:04.50,0:00:05.75,Default,,0,0,0,,쉼표, 그대로\n");
    // Nothing to move, or a speed that is none: the text as it was.
    EXPECT_EQ(retimeSrt("not a subtitle\n", 1.0, 1.0), "not a subtitle\n");
    EXPECT_EQ(retimeAss(ass, 1.0, 0.0), ass);
}

}  // namespace
}  // namespace torvane
