// What a finished output is held to: the streams kept and the length they must have.

#include "run/output_check.h"

#include <gtest/gtest.h>

#include "media/source_item.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "support/test_support.h"

namespace torvane {
namespace {

MediaSummary output(int video, int audio, float seconds) {
    MediaSummary facts;
    facts.videoStreamCount = video;
    facts.audioStreamCount = audio;
    facts.durationExact = seconds;
    return facts;
}

TEST(OutputCheck, TheLengthMayDifferByTwoPercentOrHalfASecondAndRunOverByASecondAtMost) {
    const OutputPromise minute{true, true, 60.0, false};
    EXPECT_EQ(outputShortfall(output(1, 1, 58.9f), minute), "");
    EXPECT_EQ(outputShortfall(output(1, 1, 58.7f), minute), "출력 길이 0:00:59 / 예상 0:01:00");
    EXPECT_EQ(outputShortfall(output(1, 1, 60.9f), minute), "");
    EXPECT_NE(outputShortfall(output(1, 1, 61.1f), minute), "");  // 2 % would allow 61.2: a second is the most
    const OutputPromise twoSeconds{true, false, 2.0, false};
    EXPECT_EQ(outputShortfall(output(1, 0, 1.6f), twoSeconds), "");
    EXPECT_NE(outputShortfall(output(1, 0, 1.4f), twoSeconds), "");
    EXPECT_NE(outputShortfall(output(1, 0, 2.6f), twoSeconds), "");
    // A Flash movie's sound may run past its frames; its frames may not fall short.
    const OutputPromise movie{true, true, 10.0, true};
    EXPECT_EQ(outputShortfall(output(1, 1, 30.0f), movie), "");
    EXPECT_NE(outputShortfall(output(1, 1, 3.0f), movie), "");
    // The streams come first, whatever the length.
    EXPECT_EQ(outputShortfall(output(0, 1, 60.0f), minute), "출력 파일에 영상이 없습니다");
    EXPECT_EQ(outputShortfall(output(1, 0, 60.0f), minute), "출력 파일에 소리가 없습니다");
    EXPECT_EQ(outputShortfall(output(0, 0, 0.0f), minute), "출력 파일을 읽을 수 없습니다 (영상도 소리도 없습니다)");
}

TEST(OutputCheck, ThePromiseFollowsTheKeptStreamsTheRangeTheTestAndTheSpeed) {
    FormatCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadCatalogue(test::sourceDir() + "/data/torvane.ini"));
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(test::sourceDir() + "/data/preset/+ 일반 파일변환/mp4_h264.ini"));
    const ContainerEntry& mp4 = catalogue.findContainer("mp4");
    SourceItem item;
    item.sourcePath = "/videos/clip.mp4";
    item.media.videoStreamCount = 1;
    item.media.audioStreamCount = 1;
    item.media.durationExact = 12.0f;
    item.media.videoSeconds = 10.0f;
    item.media.audioSeconds = 12.0f;

    OutputPromise promise = promisedOutput(settings, item, mp4, true, 0, 1.0);
    EXPECT_TRUE(promise.picture && promise.sound);
    EXPECT_DOUBLE_EQ(promise.seconds, 12.0);
    // Without its sound the file is as long as the picture.
    item.keepSound = false;
    promise = promisedOutput(settings, item, mp4, true, 0, 1.0);
    EXPECT_FALSE(promise.sound);
    EXPECT_DOUBLE_EQ(promise.seconds, 10.0);
    // A range, then a test of 1 second from it, then twice the speed.
    item.rangeStartSeconds = 2.0;
    item.rangeEndSeconds = 6.0;
    EXPECT_DOUBLE_EQ(promisedOutput(settings, item, mp4, true, 0, 1.0).seconds, 4.0);
    EXPECT_DOUBLE_EQ(promisedOutput(settings, item, mp4, false, 1, 1.0).seconds, 1.0);
    EXPECT_DOUBLE_EQ(promisedOutput(settings, item, mp4, true, 0, 2.0).seconds, 2.0);
    // A sound-only format promises no picture.
    item.keepSound = true;
    settings.container = "mp3";
    promise = promisedOutput(settings, item, catalogue.findContainer("mp3"), true, 0, 1.0);
    EXPECT_FALSE(promise.picture);
    EXPECT_TRUE(promise.sound);
    // Both encoders change the speed.
    settings.use_speed = "y";
    settings.speed = "1.5";
    EXPECT_DOUBLE_EQ(speedTheCommandApplies(settings, true), 1.5);
    EXPECT_DOUBLE_EQ(speedTheCommandApplies(settings, false), 1.5);
}

}  // namespace
}  // namespace torvane
