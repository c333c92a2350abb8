#include "run/progress_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "media/source_item.h"
#include "run/line_assembler.h"
#include "support/test_support.h"

namespace torvane {
namespace {

using Lines = std::vector<std::string>;

TEST(LineAssembler, CarriageReturnsEndLinesAndTinyOrHugePiecesGo) {
    LineAssembler lines;
    EXPECT_EQ(lines.append("frame=1 time=00:00:01.00\rframe=2 time=00:00:02.00\r"),
              (Lines{"frame=1 time=00:00:01.00", "frame=2 time=00:00:02.00"}));
    EXPECT_EQ(lines.pending(), "");
    EXPECT_EQ(lines.append("Pos:   1.0s"), Lines{});
    EXPECT_EQ(lines.append(" (10%)\n"), Lines{"Pos:   1.0s (10%)"});
    EXPECT_EQ(lines.append("x"), Lines{});  // one byte stays unparsed
    EXPECT_EQ(lines.pending(), "x");
    EXPECT_EQ(lines.append("\ny\r\n"), Lines{});  // lines of one byte are dropped
    EXPECT_EQ(lines.append(std::string(220, 'a')), Lines{});
    EXPECT_EQ(lines.pending().size(), 220u);
    EXPECT_EQ(lines.append("b"), Lines{});  // 221 bytes without an end: discarded
    EXPECT_EQ(lines.pending(), "");
    EXPECT_EQ(lines.append(""), Lines{});
}

class ProgressParserTest : public ::testing::Test {
protected:
    ProgressParserTest() {
        item_.fileSize = 100000;
        item_.media.durationSeconds = 100;
        item_.media.durationExact = 100.0f;
        item_.startTick = 1000;
        run_.itemCount = 1;
        run_.totalBytes = 100000;
    }
    ProgressUpdate parse(std::string_view line, std::uint32_t nowMs = 6000) {
        context_.nowMs = nowMs;
        return parser_.parseLine(line, item_, run_, context_);
    }
    ProgressParser parser_;
    SourceItem item_;
    RunProgress run_;
    LineContext context_;
};

TEST_F(ProgressParserTest, RemainingTimeKeepsTheClockFormAtTheEnd) {
    // 99.9 s of 100 s done: the count-down reads as a clock at zero, never as "0 초".
    const auto update = parse("frame= 2497 fps= 25 q=2.0 size=    5120kB time=00:01:39.90 bitrate= 419.4kbits/s");
    EXPECT_EQ(update.remainingText, "00:00:00");
}

TEST_F(ProgressParserTest, FfmpegStatusLine) {
    const auto update = parse("frame=  250 fps= 25 q=2.0 size=     512kB time=00:00:10.00 bitrate= 419.4kbits/s");
    EXPECT_EQ(item_.percent, 10);
    EXPECT_EQ(item_.doneBytes, 10000u);
    EXPECT_EQ(update.cellText, "10%");
    EXPECT_EQ(update.currentPercentText, "10%");
    EXPECT_EQ(update.currentBar, 10);
    EXPECT_EQ(update.overallPercentText, "10%");
    EXPECT_EQ(update.statusText, "변환 중...( 250 프레임,  10.00 초)");
    // 10 s of media in 5 s: twice as fast; 90 s of media left take 45 s.
    EXPECT_EQ(update.speedText, "x2.00 배속");
    EXPECT_EQ(update.remainingText, "00:00:45");

    // Within the same second, no new speed; a smaller percent changes nothing at all.
    const auto same = parse("frame=  300 fps= 25 q=2.0 size=     612kB time=00:00:12.00 bitrate= 419.4kbits/s", 6500);
    EXPECT_EQ(item_.percent, 12);
    EXPECT_FALSE(same.speedText);
    const auto back = parse("frame=  100 fps= 25 q=2.0 size=     212kB time=00:00:04.00 bitrate= 419.4kbits/s", 9000);
    EXPECT_EQ(item_.percent, 12);
    EXPECT_FALSE(back.cellText || back.speedText || back.statusText || back.overallBar);
}

TEST_F(ProgressParserTest, FfmpegEdgesOfTheTime) {
    EXPECT_EQ(parse("size=       0kB time=00:00:00.00 bitrate=N/A").cellText, std::nullopt);
    EXPECT_EQ(item_.percent, 1);  // a zero time with a known duration is 1 percent
    EXPECT_EQ(parse("size=    9000kB time=00:02:00.00 bitrate=N/A").cellText, "100%");
    EXPECT_EQ(item_.percent, 100);

    item_.percent = 0;
    item_.media.durationSeconds = 0;  // elapsed mode
    const auto elapsed = parse("frame=  250 fps= 25 q=2.0 size=     512kB time=00:00:10.00 bitrate= 419.4kbits/s");
    EXPECT_EQ(elapsed.cellText, "10초");
    EXPECT_EQ(item_.percent, 0);
    EXPECT_FALSE(elapsed.currentPercentText);
    EXPECT_TRUE(elapsed.overallBar);

    // A stop request or an ended run makes status lines count for nothing.
    context_.stopRequested = true;
    EXPECT_FALSE(parse("frame=  250 fps= 25 q=2.0 size=     512kB time=00:00:50.00 bitrate=1k").cellText);
}

TEST_F(ProgressParserTest, ClosingLinesCheckTheOutputFile) {
    test::TempFolder folder;
    item_.outputPath = folder / "out.mp4";
    auto summary =
        parse("video:738kB audio:82kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.7%");
    EXPECT_TRUE(summary.closingLine);
    EXPECT_EQ(summary.cellText, "실패");
    EXPECT_EQ(summary.statusText, "인덱스 저장 중...(완료직전)");
    EXPECT_EQ(summary.remainingText, "00:00:00");
    EXPECT_EQ(item_.percent, 100);
    test::writeFile(item_.outputPath, "");
    EXPECT_EQ(parse("Writing index...").cellText, "실패");
    test::writeFile(item_.outputPath, "data");
    // ffmpeg 6 and later tag the summary with the muxer.
    summary = parse("[out#0/mp4 @ 0x5581d2c0] video:738kB audio:82kB subtitle:0kB other streams:0kB");
    EXPECT_EQ(summary.cellText, "100%");
    EXPECT_EQ(parse("Writing index...").cellText, "100%");
    EXPECT_FALSE(parse("Unable to start /usr/bin/ffmpeg -i x").cellText);
}

TEST_F(ProgressParserTest, MencoderStatusLine) {
    auto update = parse("Pos:  12.3s    308f (10%) 45.12fps Trem:   0min   1mb  A-V:0.000 [1200:128]");
    EXPECT_EQ(item_.percent, 10);
    EXPECT_EQ(update.cellText, "10%");
    EXPECT_EQ(update.speedText, "x2.46 배속");
    EXPECT_FALSE(update.statusText);
    EXPECT_EQ(parse("Pos: 150.0s   3750f (150%) 45.12fps").cellText, "100%");
    EXPECT_EQ(item_.percent, 100);
    item_.percent = 40;
    EXPECT_FALSE(parse("Pos:  12.3s    308f 45.12fps").cellText);  // no percent: nothing changes
    EXPECT_EQ(item_.percent, 40);
}

TEST_F(ProgressParserTest, ARangeIsTheWholeOfWhatIsConverted) {
    // 20 s of the 100 s source, from 30 s on: both encoders' clocks start at 0 at the range.
    item_.rangeStartSeconds = 30;
    item_.rangeEndSeconds = 50;
    const auto ffmpeg = parse("frame=  250 fps= 25 q=2.0 size=     512kB time=00:00:10.00 bitrate= 419.4kbits/s");
    EXPECT_EQ(ffmpeg.cellText, "50%");
    EXPECT_EQ(ffmpeg.remainingText, "00:00:05");
    item_.percent = 0;
    // mencoder's own percent is its place in the whole file.
    EXPECT_EQ(parse("Pos:  15.0s    375f (45%) 45.12fps Trem:   0min   1mb", 9000).cellText, "75%");
    EXPECT_EQ(parse("Pos:  21.0s    525f (51%) 45.12fps", 9500).cellText, "100%");
}

TEST_F(ProgressParserTest, ClockTexts) {
    EXPECT_EQ(clockSeconds("01:02:03"), 3723);
    EXPECT_EQ(clockSeconds("02:03"), 0);
    EXPECT_EQ(clockSeconds("N/A"), 0);
    EXPECT_FLOAT_EQ(clockSecondsExact("00:01:23.45"), 83.45f);
    EXPECT_FLOAT_EQ(clockSecondsExact("00:00:23.5"), 23.05f);  // the digits are hundredths
    EXPECT_FLOAT_EQ(clockSecondsExact("00:00:23"), 23.0f);
}

TEST_F(ProgressParserTest, OverallProgressWeighsItemsBySize) {
    run_.itemCount = 3;
    run_.totalBytes = 400000;
    run_.finishedBytes = 100000;
    item_.doneBytes = 100000;
    overallProgress(item_, run_);
    EXPECT_EQ(run_.overallDone, 200000u);
    EXPECT_EQ(run_.overallPercent, 50);
    run_.totalBytes = 400;  // under 1000 bytes in all: counted byte by byte
    run_.finishedBytes = 100;
    item_.doneBytes = 100;
    overallProgress(item_, run_);
    EXPECT_EQ(run_.overallPercent, 50);
}

// Replays a recorded encoder output in random chunk sizes: the percent never goes back, and the
// closing line sets 100%.
void replay(const std::string& recording, int durationSeconds) {
    const std::string bytes = test::readFile(test::sourceDir() + "/tests/recordings/" + recording);
    ASSERT_FALSE(bytes.empty()) << recording;
    std::mt19937 random(42);
    for (int round = 0; round < 20; ++round) {
        test::TempFolder folder;
        SourceItem item;
        item.fileSize = 1000000;
        item.media.durationSeconds = durationSeconds;
        item.media.durationExact = static_cast<float>(durationSeconds);
        item.outputPath = folder / "out";
        test::writeFile(item.outputPath, "written");
        RunProgress run{1, 1000000, 0, 0, 0};
        ProgressParser parser;
        LineAssembler assembler;
        int lastPercent = 0;
        int statusLines = 0;
        bool closed = false;
        std::uint32_t now = 0;
        for (std::size_t offset = 0; offset < bytes.size();) {
            const std::size_t size = std::uniform_int_distribution<std::size_t>(1, 100)(random);
            for (const std::string& line : assembler.append(std::string_view(bytes).substr(offset, size))) {
                const ProgressUpdate update = parser.parseLine(line, item, run, {true, false, now += 100});
                EXPECT_GE(item.percent, lastPercent) << line;
                lastPercent = item.percent;
                statusLines += update.overallBar.has_value() ? 1 : 0;
                if (update.closingLine) {
                    closed = true;
                    EXPECT_EQ(update.cellText, "100%");
                }
            }
            offset += size;
        }
        EXPECT_TRUE(closed) << recording;
        EXPECT_EQ(item.percent, 100) << recording;
        EXPECT_GE(statusLines, 1) << recording;
    }
}

TEST(ProgressParserRecordings, FfmpegAndMencoderOutputReplayedInRandomChunks) {
    replay("ffmpeg_h264_mp4.stderr", 6);
    replay("ffmpeg_mp3.stderr", 6);
    replay("mencoder_avi.stdout", 6);
}

}  // namespace
}  // namespace torvane
