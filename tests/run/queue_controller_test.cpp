// Whole runs with the real encoders on generated clips.

#include "run/queue_controller.h"

#include <gtest/gtest.h>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "command/command_context.h"
#include "media/mediainfo_library.h"
#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "run/add_source_file.h"
#include "run/console_child.h"
#include "run/failure_reason.h"
#include "run/owner_wakeup.h"
#include "run/run_observer.h"
#include "run/source_list.h"
#include "run/swf_source.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "support/real_command_context.h"
#include "support/swf_writer.h"
#include "support/test_support.h"

namespace torvane {
namespace {

// Records what a front end would show and wakes the test's owner loop.
class RecordingObserver : public RunObserver {
public:
    void showMessage(std::string_view, std::string_view text, MessageIcon) override { messages.emplace_back(text); }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    void wakeOwner() override { wakeup.wake(); }
    void selectRow(std::size_t row) override {
        selectedRows.push_back(row);
        overallWhenSelected.push_back(overallBars.empty() ? 0 : overallBars.back());
    }
    void showCurrentProgress(std::string_view, int bar) override { currentBars.push_back(bar); }
    void showOverallProgress(std::string_view, int bar) override { overallBars.push_back(bar); }
    void setCellText(std::size_t row, std::size_t column, std::string_view text) override {
        if (column == 7 && !text.empty()) progressCells.push_back(std::to_string(row) + ":" + std::string(text));
    }
    void setRunningUi(bool running) override { runningStates.push_back(running); }

    OwnerWakeup wakeup;
    std::vector<std::string> messages;
    std::vector<std::size_t> selectedRows;
    std::vector<int> currentBars, overallBars;
    std::vector<int> overallWhenSelected;  // the overall bar as each item started
    std::vector<std::string> progressCells;
    std::vector<bool> runningStates;
};

// How many gray pixels of two pictures differ clearly.
std::size_t differing(const std::string& a, const std::string& b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        count += std::abs(static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i])) > 100;
    }
    return count;
}

class QueueControllerTest : public ::testing::Test {
protected:
    QueueControllerTest() {
        EXPECT_TRUE(catalogue_.loadCatalogue(test::sourceDir() + "/data/torvane.ini"));
        EXPECT_TRUE(settings_.loadProfile(test::sourceDir() + "/data/preset/+ 일반 파일변환/mp4_h264.ini"));
        settings_.plusparam2 = "-preset ultrafast";
        context_ = test::realCommandContext(catalogue_, options_, folder_);
    }

    void add(const std::string& media, const std::string& name) {
        const std::string path = folder_ / name;
        std::filesystem::copy_file(test::testMedia(media), path);
        ASSERT_TRUE(addSourceFile(list_, path, MediaInfoLibrary::instance(), observer_, nullptr));
    }

    // The owner loop: handle events until the run ends, within a bound.
    void runToEnd(QueueController& controller, std::chrono::seconds limit = std::chrono::seconds(120)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (controller.runActive() && std::chrono::steady_clock::now() < deadline) {
            observer_.wakeup.waitFor(std::chrono::milliseconds(1000));
            controller.processEvents();
        }
        ASSERT_FALSE(controller.runActive()) << "the run did not end";
    }

    // The owner loop after a stop: until the stopped encoder has been ended and cleaned away.
    void settle(QueueController& controller) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!controller.settled() && std::chrono::steady_clock::now() < deadline) {
            observer_.wakeup.waitFor(std::chrono::milliseconds(1000));
            controller.processEvents();
        }
        ASSERT_TRUE(controller.settled()) << "the stopped item was not cleaned away";
    }

    // What the output folder holds, hidden files included.
    std::vector<std::string> outputFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(context_.output.folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Waits until the run's encoder runs, handling events meanwhile; its process id.
    int waitForEncoder(QueueController& controller) {
        while (observer_.overallBars.size() < 2) {
            observer_.wakeup.waitFor(std::chrono::milliseconds(1000));
            controller.processEvents();
        }
        const std::vector<int> children = test::childProcessIds(::getpid());
        EXPECT_EQ(children.size(), 1u);
        return children.empty() ? -1 : children.front();
    }

    test::TempFolder folder_;
    FormatCatalogue catalogue_;
    EncodeSettings settings_;
    OptionStore options_{folder_ / "config"};
    CommandContext context_;
    SourceList list_;
    RecordingObserver observer_;
};

using State = RunItemResult::State;

TEST_F(QueueControllerTest, ConvertsEveryRowInListOrderWithProgressThatNeverGoesBack) {
    add("av.mp4", "a.mp4");
    add("audio_only.mp3", "b.mp3");
    add("wide.mkv", "c.mkv");
    list_.selectOnly(1);  // the selection does not decide the order
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);

    EXPECT_EQ(observer_.selectedRows, (std::vector<std::size_t>{0, 1, 2}));
    ASSERT_EQ(controller.results().size(), 3u);
    for (std::size_t row = 0; row < 3; ++row) {
        const RunItemResult& result = controller.results()[row];
        EXPECT_EQ(result.state, State::Succeeded) << row << " " << result.reason;
        EXPECT_TRUE(std::filesystem::exists(result.outputPath));
        EXPECT_EQ(list_.cells(row)[7], "100%");
        EXPECT_EQ(list_.cells(row)[9], std::string(fileNamePart(result.outputPath)));
    }
    EXPECT_TRUE(std::is_sorted(observer_.overallBars.begin(), observer_.overallBars.end()));
    EXPECT_EQ(observer_.overallBars.back(), 100);
    EXPECT_EQ(observer_.runningStates, (std::vector<bool>{true, false}));
    ASSERT_TRUE(controller.outcome());
    EXPECT_EQ(controller.outcome()->succeeded, 3);
    EXPECT_EQ(controller.outcome()->action, CompletionAction::FinishDialog);
    EXPECT_EQ(controller.lastOutputPath(), controller.results()[2].outputPath);
    EXPECT_EQ(options_.getOption("lastpreset", ""), settings_.profilePath);
    EXPECT_TRUE(observer_.messages.empty());
}

// The overall percent weighs items by their seconds, not their files' sizes: a 3-second clip of
// 2.8 MB before a 4-second one of 0.4 MB is 3/7 of the run, not 87 %.
TEST_F(QueueControllerTest, TheOverallPercentWeighsItemsByTheirSeconds) {
    add("proof3.mp4", "big and short.mp4");
    add("av4.mp4", "small and long.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);
    ASSERT_EQ(observer_.overallWhenSelected.size(), 2u);
    EXPECT_NEAR(observer_.overallWhenSelected[1], 42, 3);
    EXPECT_EQ(observer_.overallBars.back(), 100);
}

TEST_F(QueueControllerTest, ATestRunEncodesOnlyItsSeconds) {
    add("av4.mp4", "long.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    controller.testEncodeSeconds = 1;
    ASSERT_TRUE(controller.startRun(true));
    runToEnd(controller);
    ASSERT_EQ(controller.results()[0].state, State::Succeeded) << controller.results()[0].reason;
    const test::ProgramResult probe = test::runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration",
                                                        "-of", "csv=p=0", controller.results()[0].outputPath});
    EXPECT_NEAR(std::stod(probe.out), 1.0, 0.2);
}

// A speed change with a format only ffmpeg writes: the length changes by the speed, with its
// picture and sound, and the run's own check holds the output to that length.
TEST_F(QueueControllerTest, FfmpegChangesTheSpeedOfPictureAndSound) {
    add("av4.mp4", "four.mp4");
    settings_.use_speed = "y";
    for (const auto& [speed, seconds] : {std::pair{"2.0", 2.0}, std::pair{"0.5", 8.0}}) {
        SCOPED_TRACE(speed);
        settings_.speed = speed;
        QueueController controller(list_, settings_, context_, options_, observer_);
        ASSERT_TRUE(controller.startRun(false));
        runToEnd(controller);
        const RunItemResult& result = controller.results()[0];
        ASSERT_EQ(result.state, State::Succeeded) << result.reason;
        EXPECT_NE(test::readFile(result.logPath).find("/usr/bin/ffmpeg"), std::string::npos);
        const test::ProgramResult probe =
            test::runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration:stream=codec_type", "-of",
                              "csv=p=0", result.outputPath});
        EXPECT_NE(probe.out.find("video"), std::string::npos) << probe.out;
        EXPECT_NE(probe.out.find("audio"), std::string::npos) << probe.out;
        EXPECT_NEAR(std::stod(probe.out.substr(probe.out.rfind('\n', probe.out.size() - 2) + 1)), seconds, 0.2)
            << probe.out;
        EXPECT_EQ(observer_.currentBars.back(), 100);
    }
}

// A SAMI subtitle (CP949, as Korean tools write it) with a format only ffmpeg writes: the run
// converts it to ASS first, burns it in, and shifts it by the delay; the ASS goes with the item.
TEST_F(QueueControllerTest, FfmpegBurnsASamiSubtitleWithItsDelay) {
    std::filesystem::copy_file(test::testMedia("with_subtitle.smi"), folder_ / "sub.smi");
    add("av4.mp4", "sub.mp4");
    ASSERT_EQ(list_.item(0)->subtitlePath, folder_ / "sub.smi");
    // The bottom 40 rows of the frame at a moment, as gray pixels; how many differ clearly.
    const auto strip = [](const std::string& path, const char* at) {
        return test::runProgram({"ffmpeg", "-v", "error", "-ss", at, "-i", path, "-frames:v", "1", "-vf",
                                 "scale=320:240,crop=320:40:0:200", "-f", "rawvideo", "-pix_fmt", "gray", "-"})
            .out;
    };
    settings_.sub_delay = "2";
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);
    const RunItemResult& result = controller.results()[0];
    ASSERT_EQ(result.state, State::Succeeded) << result.reason;
    const std::string source = list_.item(0)->sourcePath;
    // The text shows from 0 to 3 seconds, 2 seconds later: not at 1 second, and at 3.
    EXPECT_LT(differing(strip(source, "1"), strip(result.outputPath, "1")), 50u);
    EXPECT_GT(differing(strip(source, "3"), strip(result.outputPath, "3")), 200u);
    EXPECT_NE(test::readFile(result.logPath).find(".ass"), std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(swfWorkFolder())) {
        EXPECT_EQ(entry.path().filename().string().find("_" + std::to_string(::getpid()) + "."), std::string::npos)
            << entry.path();
    }
}

// A SAMI file with an English and a Korean class, in CP949, and an SRT file in UTF-8 go into
// Matroska and MP4 as switchable tracks tagged Korean: only the Korean class, in UTF-8, on the
// output's clock (a range that starts at 1 second moves it), the picture and sound with them.
TEST_F(QueueControllerTest, ASubtitleTrackCarriesTheKoreanTextOnTheOutputsClock) {
    const std::string sami =
        "<SAMI><HEAD><STYLE TYPE=\"text/css\"><!--\n.ENCC { Name:English; lang:en-US; }\n"
        ".KRCC { Name:Korean; lang:ko-KR; }\n--></STYLE></HEAD><BODY>\n"
        "<SYNC Start=2000><P Class=ENCC>Good morning\n<SYNC Start=2000><P Class=KRCC>좋은 아침\n"
        "<SYNC Start=3500><P Class=ENCC>&nbsp;\n<SYNC Start=3500><P Class=KRCC>&nbsp;\n</BODY></SAMI>\n";
    const test::ProgramResult cp949 =
        test::runProgram({"sh", "-c", "printf '%s' \"$0\" | iconv -f UTF-8 -t CP949", sami});
    ASSERT_EQ(cp949.exitCode, 0);
    add("av4.mp4", "sami.mp4");
    test::writeFile(folder_ / "sami.smi", cp949.out);
    add("av4.mp4", "srt.mp4");
    test::writeFile(folder_ / "srt.srt", "1\n00:00:02,000 --> 00:00:03,500\n좋은 아침\n\n");
    // Bytes that are no subtitle fail their item with the reason, never a file without it.
    add("av4.mp4", "broken.mp4");
    test::writeFile(folder_ / "broken.srt",
                    std::string("\x00\x9f\xff garbage \x01\x02", 15) + std::string(3000, '\x7f'));
    for (std::size_t row = 0; row < 3; ++row) {
        list_.item(row)->subtitlePath = folder_ / std::array{"sami.smi", "srt.srt", "broken.srt"}[row];
    }
    // The Matroska preset copies the picture, which can only be cut at key frames: the range is
    // tried with the MP4 one, which encodes.
    for (const auto& [preset, firstCue] :
         {std::pair{"subtitle_track_mkv.ini", "00:00:02,0"}, std::pair{"subtitle_track_mp4.ini", "00:00:01,0"}}) {
        SCOPED_TRACE(preset);
        const bool ranged = std::string_view(preset).ends_with("mp4.ini");
        for (std::size_t row = 0; row < 2; ++row) {
            list_.item(row)->rangeStartSeconds = ranged ? 1.0 : 0.0;
            list_.item(row)->rangeEndSeconds = ranged ? 4.0 : 0.0;
        }
        ASSERT_TRUE(settings_.loadProfile(test::sourceDir() + "/data/preset/특별기능/" + preset));
        settings_.plusparam2 = "-preset ultrafast";
        QueueController controller(list_, settings_, context_, options_, observer_);
        ASSERT_TRUE(controller.startRun(false));
        runToEnd(controller);
        for (std::size_t row = 0; row < 2; ++row) {
            const RunItemResult& result = controller.results()[row];
            ASSERT_EQ(result.state, State::Succeeded) << result.reason;
            const test::ProgramResult streams =
                test::runProgram({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type:stream_tags=language",
                                  "-of", "csv=p=0", result.outputPath});
            EXPECT_NE(streams.out.find("video"), std::string::npos) << streams.out;
            EXPECT_NE(streams.out.find("audio"), std::string::npos) << streams.out;
            EXPECT_NE(streams.out.find("subtitle,kor"), std::string::npos) << streams.out;
            const test::ProgramResult text =
                test::runProgram({"ffmpeg", "-v", "error", "-i", result.outputPath, "-map", "0:s:0", "-f", "srt", "-"});
            EXPECT_NE(text.out.find(firstCue), std::string::npos) << text.out;
            EXPECT_NE(text.out.find("좋은 아침"), std::string::npos) << text.out;
            EXPECT_EQ(text.out.find("Good morning"), std::string::npos) << text.out;
        }
        EXPECT_EQ(controller.results()[2].state, State::Failed);
        EXPECT_NE(controller.results()[2].reason.find("자막을 변환할 수 없습니다: broken.srt"), std::string::npos)
            << controller.results()[2].reason;
        EXPECT_FALSE(std::filesystem::exists(context_.output.folder + "/broken.mkv"));
    }
}

// A two-language SAMI file burnt in by either encoder draws only its Korean class: the same
// picture as a file with that class alone.
TEST_F(QueueControllerTest, BothEncodersBurnOnlyTheKoreanClassOfASamiFile) {
    const std::string head =
        "<SAMI><HEAD><STYLE><!-- .ENCC { lang:en-US; } .KRCC { lang:ko-KR; } --></STYLE></HEAD><BODY>\n";
    const std::string korean = "<SYNC Start=0><P Class=KRCC>한국어 자막\n<SYNC Start=3000><P Class=KRCC>&nbsp;\n";
    const std::string english = "<SYNC Start=0><P Class=ENCC>English line\n<SYNC Start=3000><P Class=ENCC>&nbsp;\n";
    add("av4.mp4", "one.mp4");
    test::writeFile(folder_ / "one.smi", head + korean + "</BODY></SAMI>\n");
    add("av4.mp4", "two.mp4");
    test::writeFile(folder_ / "two.smi", head + english + korean + "</BODY></SAMI>\n");
    for (std::size_t row = 0; row < 2; ++row)
        list_.item(row)->subtitlePath = folder_ / (row == 0 ? "one.smi" : "two.smi");
    const auto frame = [](const std::string& path) {
        return test::runProgram({"ffmpeg", "-v", "error", "-ss", "1", "-i", path, "-frames:v", "1", "-vf",
                                 "scale=320:240", "-f", "rawvideo", "-pix_fmt", "gray", "-"})
            .out;
    };
    for (const bool mencoder : {false, true}) {
        SCOPED_TRACE(mencoder ? "mencoder" : "ffmpeg");
        if (mencoder) {
            ASSERT_TRUE(settings_.loadProfile(test::sourceDir() + "/data/common_avi.ini"));
        }
        QueueController controller(list_, settings_, context_, options_, observer_);
        ASSERT_TRUE(controller.startRun(false));
        runToEnd(controller);
        ASSERT_EQ(controller.results()[0].state, State::Succeeded) << controller.results()[0].reason;
        ASSERT_EQ(controller.results()[1].state, State::Succeeded) << controller.results()[1].reason;
        EXPECT_NE(test::readFile(controller.results()[0].logPath).find(mencoder ? "mencoder" : "ffmpeg"),
                  std::string::npos);
        const std::string burnt = frame(controller.results()[0].outputPath);
        EXPECT_GT(differing(frame(list_.item(0)->sourcePath), burnt), 200u);
        EXPECT_LT(differing(burnt, frame(controller.results()[1].outputPath)), 20u);
    }
}

TEST_F(QueueControllerTest, MencoderRunsToTheEndToo) {
    EXPECT_TRUE(settings_.loadProfile(test::sourceDir() + "/data/common_avi.ini"));
    settings_.eg = "m";
    add("av4.mp4", "m.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);
    EXPECT_EQ(controller.results()[0].state, State::Succeeded) << controller.results()[0].reason;
    EXPECT_EQ(observer_.currentBars.back(), 100);
    EXPECT_TRUE(std::is_sorted(observer_.currentBars.begin() + 1, observer_.currentBars.end()));
}

TEST_F(QueueControllerTest, BothEncodersConvertOnlyTheRangeOfAnItem) {
    const auto seconds = [](const std::string& path) {
        return std::stod(
            test::runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path})
                .out);
    };
    for (const char* encoder : {"f", "m"}) {
        SCOPED_TRACE(encoder);
        list_.removeAll();
        if (std::string(encoder) == "m") {
            EXPECT_TRUE(settings_.loadProfile(test::sourceDir() + "/data/common_avi.ini"));
        }
        settings_.eg = encoder;
        add("av4.mp4", std::string("range_") + encoder + ".mp4");
        list_.item(0)->rangeStartSeconds = 1;
        list_.item(0)->rangeEndSeconds = 3;
        QueueController controller(list_, settings_, context_, options_, observer_);
        ASSERT_TRUE(controller.startRun(false));
        runToEnd(controller);
        ASSERT_EQ(controller.results()[0].state, State::Succeeded) << controller.results()[0].reason;
        EXPECT_NEAR(seconds(controller.results()[0].outputPath), 2.0, 0.2);
        EXPECT_EQ(observer_.currentBars.back(), 100);

        // A test run of 1 second converts 1 second from the range's start; an unticked "소리", no sound.
        list_.item(0)->keepSound = false;
        controller.testEncodeSeconds = 1;
        ASSERT_TRUE(controller.startRun(true));
        runToEnd(controller);
        const std::string output = controller.results()[0].outputPath;
        ASSERT_EQ(controller.results()[0].state, State::Succeeded) << controller.results()[0].reason;
        EXPECT_NEAR(seconds(output), 1.0, 0.2);
        EXPECT_EQ(test::runProgram({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                                    "stream=codec_type", "-of", "csv=p=0", output})
                      .out,
                  "");
    }
}

TEST_F(QueueControllerTest, AStopEndsTheEncoderAndMarksNothingFinished) {
    settings_.plusparam2 = "-preset ultrafast -af arealtime";  // at the clip's own pace: 4 seconds
    add("av4.mp4", "slow.mp4");
    add("av.mp4", "never.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    while (observer_.overallBars.size() < 2) {
        observer_.wakeup.waitFor(std::chrono::milliseconds(1000));
        controller.processEvents();
    }
    controller.requestStop();
    EXPECT_FALSE(controller.runActive());
    settle(controller);
    EXPECT_FALSE(ConsoleChild::anyRunning());
    EXPECT_TRUE(test::childProcessIds(::getpid()).empty());
    // Neither a file under the output's name nor its temporary is left.
    EXPECT_EQ(outputFiles(), std::vector<std::string>{});
    EXPECT_EQ(controller.results()[0].state, State::Stopped);
    EXPECT_EQ(controller.results()[1].state, State::Waiting);
    EXPECT_EQ(list_.cells(0)[7], "중지됨");
    EXPECT_EQ(list_.resultText(0), "중지됨: " + controller.results()[0].reason);
    EXPECT_EQ(list_.cells(0)[9], "");
    EXPECT_EQ(observer_.messages, std::vector<std::string>{"동영상 변환이 중지 되었습니다."});
    EXPECT_TRUE(controller.outcome()->stopped);
    EXPECT_EQ(controller.outcome()->action, CompletionAction::None);
    // Events the ended encoder left behind change nothing.
    controller.processEvents();
    EXPECT_EQ(controller.results()[0].state, State::Stopped);
}

// A Flash item's work files are made off the owner thread: the run starts no encoder before they
// are ready, a stop meanwhile ends the run at once, and the late result is dropped.
TEST_F(QueueControllerTest, AFlashItemIsPreparedOffTheOwnerThread) {
    test::SwfWriter movie(160, 120, 12);
    movie.placeObject(movie.defineRectangle(40, 30, {200, 0, 0}), 1, 10, 10);
    for (int frame = 0; frame < 24; ++frame) movie.showFrame();
    const std::string path = folder_ / "movie.swf";
    test::writeFile(path, movie.finish());
    ASSERT_TRUE(addSourceFile(list_, path, MediaInfoLibrary::instance(), observer_, nullptr));
    QueueController controller(list_, settings_, context_, options_, observer_);

    ASSERT_TRUE(controller.startRun(false));
    EXPECT_EQ(controller.launchCounter(), 0u);
    controller.requestStop();
    EXPECT_FALSE(controller.runActive());
    EXPECT_EQ(controller.launchCounter(), 0u);

    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);
    EXPECT_EQ(controller.launchCounter(), 1u);
    ASSERT_EQ(controller.results()[0].state, State::Succeeded) << controller.results()[0].reason;
    EXPECT_NE(test::runProgram({"ffprobe", "-v", "error", "-show_entries", "stream=width,height", "-of", "csv=p=0",
                                controller.results()[0].outputPath})
                  .out.find("160,120"),
              std::string::npos);
    // The movie's work files went with its item.
    for (const auto& entry : std::filesystem::directory_iterator(swfWorkFolder())) {
        EXPECT_EQ(entry.path().filename().string().find("_" + std::to_string(::getpid()) + "."), std::string::npos)
            << entry.path();
    }
}

TEST_F(QueueControllerTest, FailuresAreFailuresWithTheEncodersReasonAndTheRunGoesOn) {
    add("av.mp4", "a.mp4");
    add("av.mp4", "b.mp4");
    // The first source is damaged after it was added: ffmpeg cannot read it; the second works.
    test::writeFile(list_.item(0)->sourcePath, std::string(4096, 'x'));
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);
    const RunItemResult& failed = controller.results()[0];
    EXPECT_EQ(failed.state, State::Failed);
    EXPECT_NE(failed.reason.find("Invalid data"), std::string::npos) << failed.reason;
    EXPECT_FALSE(failed.outputTail.empty());
    EXPECT_EQ(failed.outputPath, "");
    // The encoder's whole output is kept for whoever looks into the failure.
    const std::string log = test::readFile(failed.logPath);
    EXPECT_NE(log.find("-i \"" + list_.item(0)->sourcePath + "\""), std::string::npos) << log;
    EXPECT_NE(log.find("Invalid data"), std::string::npos) << log;
    EXPECT_NE(log.find("=> 실패: "), std::string::npos) << log;
    EXPECT_EQ(list_.cells(0)[7], "실패");
    EXPECT_EQ(list_.resultText(0), "실패: " + failed.reason);
    EXPECT_EQ(controller.results()[1].state, State::Succeeded) << controller.results()[1].reason;
    EXPECT_EQ(list_.resultText(1), "");
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"b.mp4"});
    EXPECT_EQ(controller.outcome()->failed, 1);
    // The finish dialog names the failures; no message of the run's own comes before it.
    EXPECT_EQ(controller.outcome()->action, CompletionAction::FinishDialog);
    EXPECT_EQ(observer_.messages, std::vector<std::string>{});
}

TEST_F(QueueControllerTest, AnUnwritableOutputFolderFailsEveryItemWithItsReason) {
    add("av.mp4", "a.mp4");
    context_.output.folder = folder_ / "no/such/folder";
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);
    EXPECT_EQ(controller.results()[0].state, State::Failed);
    EXPECT_NE(controller.results()[0].reason.find("저장 폴더가 없습니다"), std::string::npos)
        << controller.results()[0].reason;
    EXPECT_EQ(controller.launchCounter(), 0u);  // nothing was started
}

TEST_F(QueueControllerTest, AMissingEncoderFailsEachItemWithoutWaitingForever) {
    add("av.mp4", "a.mp4");
    add("av.mp4", "b.mp4");
    context_.ffmpegPath = "/nonexistent/ffmpeg";
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    EXPECT_FALSE(controller.runActive());  // nothing started, so the run ended at once
    for (const RunItemResult& result : controller.results()) {
        EXPECT_EQ(result.state, State::Failed);
        EXPECT_NE(result.reason.find("/nonexistent/ffmpeg"), std::string::npos) << result.reason;
    }
    EXPECT_EQ(controller.launchCounter(), 2u);
}

TEST_F(QueueControllerTest, AnEncoderKilledFromOutsideFailsAndTheNextItemRuns) {
    settings_.plusparam2 = "-preset ultrafast -af arealtime";
    add("av4.mp4", "killed.mp4");
    add("av.mp4", "next.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    const int encoder = waitForEncoder(controller);
    ASSERT_GT(encoder, 0);
    ASSERT_EQ(::kill(encoder, SIGKILL), 0);
    runToEnd(controller);
    EXPECT_EQ(controller.results()[0].state, State::Failed);
    EXPECT_NE(controller.results()[0].reason.find("신호 9"), std::string::npos) << controller.results()[0].reason;
    EXPECT_EQ(controller.results()[1].state, State::Succeeded) << controller.results()[1].reason;
    // The killed item leaves nothing; the next one its file alone.
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"next.mp4"});
}

// Files added while a run goes on join its end: the run walks the keys it took, not the rows,
// and never reads past its own results (run under AddressSanitizer too).
TEST_F(QueueControllerTest, FilesAddedDuringARunConvertAfterTheOthers) {
    add("av.mp4", "first.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    add("audio_only.mp3", "added.mp3");
    add("wide.mkv", "added_too.mkv");
    runToEnd(controller);
    ASSERT_EQ(controller.results().size(), 3u);
    for (const RunItemResult& result : controller.results()) {
        EXPECT_EQ(result.state, State::Succeeded) << result.reason;
    }
    EXPECT_EQ(controller.results()[2].key, list_.keyOfRow(2));
    EXPECT_EQ(observer_.selectedRows, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(observer_.overallBars.back(), 100);
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{"added.mp4", "added_too.mp4", "first.mp4"}));
}

// Two runs at once into one folder with sources of the same name: each publishes its own
// complete file, the second under the next free name; neither replaces the other.
TEST_F(QueueControllerTest, TwoRunsIntoOneFolderNeverOverwriteEachOther) {
    add("av.mp4", "same.mp4");
    std::filesystem::create_directories(folder_ / "other");
    std::filesystem::copy_file(test::testMedia("av4.mp4"), folder_ / "other/same.mp4");
    SourceList otherList;
    RecordingObserver otherObserver;
    ASSERT_TRUE(
        addSourceFile(otherList, folder_ / "other/same.mp4", MediaInfoLibrary::instance(), otherObserver, nullptr));
    QueueController first(list_, settings_, context_, options_, observer_);
    QueueController second(otherList, settings_, context_, options_, otherObserver);
    ASSERT_TRUE(first.startRun(false));
    ASSERT_TRUE(second.startRun(false));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while ((first.runActive() || second.runActive()) && std::chrono::steady_clock::now() < deadline) {
        observer_.wakeup.waitFor(std::chrono::milliseconds(50));
        first.processEvents();
        second.processEvents();
    }
    ASSERT_EQ(first.results()[0].state, State::Succeeded) << first.results()[0].reason;
    ASSERT_EQ(second.results()[0].state, State::Succeeded) << second.results()[0].reason;
    EXPECT_NE(first.results()[0].outputPath, second.results()[0].outputPath);
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{"same(1).mp4", "same.mp4"}));
    // The 2-second and the 4-second source each kept their own length.
    const auto seconds = [](const std::string& path) {
        return std::stod(
            test::runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path})
                .out);
    };
    EXPECT_NEAR(seconds(first.results()[0].outputPath), 2.0, 0.2);
    EXPECT_NEAR(seconds(second.results()[0].outputPath), 4.0, 0.2);
}

// Stand-ins for a faulty encoder: one that exits 0 with a file half the promised length, one
// that hangs without a word, one whose output runs away. None may pass for a converted file.
TEST_F(QueueControllerTest, FaultyEncodersFailWithTheirReasons) {
    const std::string shortClip = folder_ / "short.mp4";
    std::filesystem::copy_file(test::testMedia("av.mp4"), shortClip);
    const std::string shortEncoder = folder_ / "bin/short-ffmpeg";
    test::writeFile(shortEncoder, "#!/bin/sh\nfor last; do :; done\ncp '" + shortClip + "' \"$last\"\n");
    const std::string silentEncoder = folder_ / "bin/silent-ffmpeg";
    test::writeFile(silentEncoder, "#!/bin/sh\nexec sleep 600\n");
    // Writes far more than 4 seconds at the preset's bit rates can fill, then keeps going.
    const std::string runawayEncoder = folder_ / "bin/runaway-ffmpeg";
    test::writeFile(runawayEncoder,
                    "#!/bin/sh\nfor last; do :; done\nhead -c 40000000 /dev/zero > \"$last\"\nexec sleep 600\n");
    for (const std::string& script : {shortEncoder, silentEncoder, runawayEncoder}) {
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
    add("av4.mp4", "four.mp4");
    ASSERT_TRUE(options_.setOption("stalltimeout", "1"));

    context_.ffmpegPath = shortEncoder;
    {
        QueueController controller(list_, settings_, context_, options_, observer_);
        ASSERT_TRUE(controller.startRun(false));
        runToEnd(controller);
        EXPECT_EQ(controller.results()[0].state, State::Failed);
        EXPECT_EQ(controller.results()[0].reason, "출력 길이 0:00:02 / 예상 0:00:04");
    }
    context_.ffmpegPath = silentEncoder;
    {
        QueueController controller(list_, settings_, context_, options_, observer_);
        ASSERT_TRUE(controller.startRun(false));
        runToEnd(controller, std::chrono::seconds(30));
        EXPECT_EQ(controller.results()[0].state, State::Failed);
        EXPECT_EQ(controller.results()[0].reason, "진행이 멈췄습니다 (1초)");
        settle(controller);
        EXPECT_TRUE(test::childProcessIds(::getpid()).empty());
    }
    ASSERT_TRUE(options_.setOption("stalltimeout", "0"));  // never: the size alone stops this one
    context_.ffmpegPath = runawayEncoder;
    {
        QueueController controller(list_, settings_, context_, options_, observer_);
        ASSERT_TRUE(controller.startRun(false));
        runToEnd(controller, std::chrono::seconds(30));
        EXPECT_EQ(controller.results()[0].state, State::Failed);
        EXPECT_NE(controller.results()[0].reason.find("세 배를 넘어"), std::string::npos)
            << controller.results()[0].reason;
        settle(controller);
    }
    EXPECT_EQ(outputFiles(), std::vector<std::string>{});
}

// flashgrab killed mid-movie: ffmpeg sees the end of its frames and exits 0 with a short
// file, which must not pass for the movie.
TEST_F(QueueControllerTest, AKilledFlashRendererFailsItsItem) {
    test::SwfWriter movie(160, 120, 12);
    movie.placeObject(movie.defineRectangle(40, 30, {200, 0, 0}), 1, 10, 10);
    for (int frame = 0; frame < 600; ++frame) movie.showFrame();
    const std::string path = folder_ / "long.swf";
    test::writeFile(path, movie.finish());
    ASSERT_TRUE(addSourceFile(list_, path, MediaInfoLibrary::instance(), observer_, nullptr));
    settings_.plusparam2 = "-preset ultrafast -vf realtime";  // at the movie's own pace: 50 seconds
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    int flashgrab = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (flashgrab < 0 && std::chrono::steady_clock::now() < deadline) {
        observer_.wakeup.waitFor(std::chrono::milliseconds(200));
        controller.processEvents();
        if (controller.launchCounter() == 0) continue;  // the encoder is not running yet
        for (const int child : test::childProcessIds(::getpid())) {
            if (test::readFile("/proc/" + std::to_string(child) + "/comm") == "flashgrab\n") flashgrab = child;
        }
    }
    ASSERT_GT(flashgrab, 0);
    ASSERT_EQ(::kill(flashgrab, SIGKILL), 0);
    runToEnd(controller);
    EXPECT_EQ(controller.results()[0].state, State::Failed);
    EXPECT_EQ(controller.results()[0].reason, "flashgrab이(가) 신호 9로 강제 종료되었습니다");
    settle(controller);
    EXPECT_EQ(outputFiles(), std::vector<std::string>{});
    EXPECT_TRUE(test::childProcessIds(::getpid()).empty());
}

// A full disk: the encoder fails, the reason says so, and the partial file goes.
TEST_F(QueueControllerTest, AFullDiskFailsTheItemAndLeavesNothing) {
    const std::string small = folder_ / "small";
    std::filesystem::create_directories(small);
    if (std::system(("mount -t tmpfs -o size=512k tmpfs '" + small + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "mounting a small tmpfs is refused here";
    }
    // Unmounted however the test ends, so the test folder can go.
    const std::unique_ptr<const std::string, void (*)(const std::string*)> mounted(
        &small, [](const std::string* folder) { std::system(("umount '" + *folder + "' 2>/dev/null").c_str()); });
    add("av4.mp4", "big.mp4");
    settings_.video_bitrate = "20000";
    context_.output.folder = small;
    {
        QueueController controller(list_, settings_, context_, options_, observer_);
        ASSERT_TRUE(controller.startRun(false));
        runToEnd(controller);
        EXPECT_EQ(controller.results()[0].state, State::Failed);
        EXPECT_NE(controller.results()[0].reason.find("저장 공간이 부족합니다"), std::string::npos)
            << controller.results()[0].reason;
    }
    EXPECT_TRUE(std::filesystem::is_empty(small));
}

// A run that crashed left its temporary behind: the next run in that folder removes it, but
// never the temporary of a program that still runs.
TEST_F(QueueControllerTest, TemporariesOfAGoneProcessAreRemovedAtTheNextStart) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string abandoned = ".old.torvane-part-" + std::to_string(gone) + "-0123456789ab.mp4";
    const std::string alive = ".busy.torvane-part-" + std::to_string(::getppid()) + "-0123456789ab.mp4";
    test::writeFile(context_.output.folder + "/" + abandoned, "half a file");
    test::writeFile(context_.output.folder + "/" + alive, "being written");
    add("av.mp4", "a.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{alive, "a.mp4"}));
}

TEST_F(QueueControllerTest, APresetValueThatIsNoValueStartsNothing) {
    add("av.mp4", "a.mp4");
    settings_.video_bitrate = "800 -f mp4 " + (folder_ / "elsewhere.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    EXPECT_FALSE(controller.startRun(false));
    ASSERT_EQ(observer_.messages.size(), 1u);
    EXPECT_NE(observer_.messages[0].find("video_bitrate"), std::string::npos) << observer_.messages[0];
    EXPECT_EQ(controller.launchCounter(), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "elsewhere.mp4"));
}

// While the stop question is open the run holds still (its encoders paused, so it cannot move on
// under the question); "아니요" lets it go on to its end as if nothing had been asked.
TEST_F(QueueControllerTest, TheStopQuestionHoldsTheRunAndNoLetsItFinish) {
    class AnswerNo : public RecordingObserver {
    public:
        bool askYesNo(std::string_view, std::string_view) override {
            pausedWhileAsked = controller->paused();
            return false;
        }
        QueueController* controller = nullptr;
        bool pausedWhileAsked = false;
    } observer;
    add("av.mp4", "a.mp4");
    ASSERT_TRUE(options_.setOption("confirmbeforestop", "y"));
    QueueController controller(list_, settings_, context_, options_, observer);
    observer.controller = &controller;
    ASSERT_TRUE(controller.startRun(false));
    controller.requestStop();
    EXPECT_TRUE(observer.pausedWhileAsked);
    EXPECT_TRUE(controller.runActive());
    EXPECT_FALSE(controller.paused());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (controller.runActive() && std::chrono::steady_clock::now() < deadline) {
        observer.wakeup.waitFor(std::chrono::milliseconds(1000));
        controller.processEvents();
    }
    ASSERT_TRUE(controller.outcome());
    EXPECT_FALSE(controller.outcome()->stopped);
    EXPECT_EQ(controller.outcome()->action, CompletionAction::FinishDialog);
    EXPECT_EQ(controller.results()[0].state, State::Succeeded) << controller.results()[0].reason;
    EXPECT_EQ(observer.messages, std::vector<std::string>{});
}

// A pause holds the encoder still (stopped, no processor time, no progress), the run goes on
// after it, and a stop while paused ends the encoder and leaves nothing.
TEST_F(QueueControllerTest, APauseHoldsTheEncoderStillAndAStopWhilePausedEndsIt) {
    add("av4.mp4", "slow.mp4");
    settings_.plusparam2 = "-preset ultrafast -af arealtime";
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    const int encoder = waitForEncoder(controller);
    ASSERT_GT(encoder, 0);

    controller.pause();
    EXPECT_TRUE(controller.paused());
    // SIGSTOP takes effect as the kernel gets to it.
    const auto stoppedBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (test::processStateAndTicks(encoder).first != 'T' && std::chrono::steady_clock::now() < stoppedBy) {
        ::usleep(10000);
    }
    ASSERT_EQ(test::processStateAndTicks(encoder).first, 'T');
    const long long ticks = test::processStateAndTicks(encoder).second;
    const std::size_t cells = observer_.progressCells.size();
    observer_.wakeup.waitFor(std::chrono::milliseconds(1500));
    controller.processEvents();
    EXPECT_EQ(test::processStateAndTicks(encoder).second, ticks);
    EXPECT_EQ(observer_.progressCells.size(), cells);
    EXPECT_TRUE(controller.runActive());  // a pause is no stall

    controller.resume();
    const auto goneOnBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (test::processStateAndTicks(encoder).first == 'T' && std::chrono::steady_clock::now() < goneOnBy) {
        ::usleep(10000);
    }
    EXPECT_NE(test::processStateAndTicks(encoder).first, 'T');
    controller.pause();
    controller.requestStop();
    settle(controller);
    EXPECT_EQ(controller.results()[0].state, State::Stopped);
    EXPECT_TRUE(test::processEnded(encoder));
    for (const std::string& name : outputFiles()) EXPECT_EQ(name.find("slow"), std::string::npos) << name;
}

TEST_F(QueueControllerTest, AnEmptyListStartsNothing) {
    QueueController controller(list_, settings_, context_, options_, observer_);
    EXPECT_FALSE(controller.startRun(false));
    EXPECT_EQ(observer_.messages, std::vector<std::string>{"변환할 파일이 없습니다. 변환할 파일을 먼저 추가해주세요."});
}

TEST(EncoderFailureReason, TakesTheTellingLineNotTheProgress) {
    EXPECT_NE(explainEncoderFailure("frame=1 time=00:00:01.00\r/out/x.mp4: No such file or directory\nConversion "
                                    "failed!\n",
                                    1, "ffmpeg")
                  .find("/out/x.mp4: No such file or directory"),
              std::string::npos);
    EXPECT_EQ(explainEncoderFailure("frame=1\rsize=2\r", 1, "ffmpeg"), "ffmpeg 종료 코드 1");
}

// The encoders among this process's children: those given a share of the processors.
int encodersAlive() {
    int count = 0;
    for (const int child : test::childProcessIds(::getpid())) {
        std::ifstream file("/proc/" + std::to_string(child) + "/cmdline");
        const std::string arguments((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (arguments.find(std::string("\0-threads\0", 10)) != std::string::npos) ++count;
    }
    return count;
}

// With "parallel" at 2, two items encode at once in list order, each with a share of the
// processors; the overall progress counts both and never goes back, and each output is checked
// before it is published.
TEST_F(QueueControllerTest, TwoItemsEncodeAtOnceAndEveryOutputIsChecked) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: one item at a time";
    ASSERT_TRUE(options_.setOption("parallel", "2"));
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4", "d.mp4", "e.mp4"}) add("av.mp4", name);
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    int most = encodersAlive();
    EXPECT_EQ(most, 2) << "the first two items start together";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (controller.runActive() && std::chrono::steady_clock::now() < deadline) {
        observer_.wakeup.waitFor(std::chrono::milliseconds(1000));
        controller.processEvents();
        most = std::max(most, encodersAlive());
    }
    ASSERT_FALSE(controller.runActive()) << "the run did not end";
    EXPECT_EQ(most, 2);

    EXPECT_EQ(observer_.selectedRows, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    ASSERT_EQ(controller.results().size(), 5u);
    std::vector<std::string> expected;
    for (std::size_t row = 0; row < 5; ++row) {
        const RunItemResult& result = controller.results()[row];
        EXPECT_EQ(result.state, State::Succeeded) << row << " " << result.reason;
        const test::ProgramResult probe = test::runProgram(
            {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", result.outputPath});
        EXPECT_NEAR(std::strtod(probe.out.c_str(), nullptr), 2.0, 0.2) << result.outputPath;
        EXPECT_EQ(list_.cells(row)[7], "100%");
        expected.emplace_back(fileNamePart(result.outputPath));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(outputFiles(), expected) << "no temporary is left";
    EXPECT_TRUE(std::is_sorted(observer_.overallBars.begin(), observer_.overallBars.end()));
    EXPECT_EQ(observer_.overallBars.back(), 100);
    ASSERT_TRUE(controller.outcome());
    EXPECT_EQ(controller.outcome()->succeeded, 5);
    EXPECT_EQ(controller.outcome()->action, CompletionAction::FinishDialog);
}

// While two items encode, each row shows its own percent; a stop then stops both: neither leaves
// a file, and the rest never start.
TEST_F(QueueControllerTest, AStopEndsEveryItemEncodingAtOnce) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: one item at a time";
    ASSERT_TRUE(options_.setOption("parallel", "2"));
    settings_.plusparam2 = "-preset ultrafast -af arealtime";  // at the clip's own pace: 4 seconds
    add("av4.mp4", "first.mp4");
    add("av4.mp4", "second.mp4");
    add("av.mp4", "never.mp4");
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    const auto showed = [this](const char* row) {
        return std::any_of(observer_.progressCells.begin(), observer_.progressCells.end(),
                           [row](const std::string& cell) { return cell.starts_with(row); });
    };
    while (!(showed("0:") && showed("1:"))) {
        observer_.wakeup.waitFor(std::chrono::milliseconds(1000));
        controller.processEvents();
        ASSERT_TRUE(controller.runActive());
    }
    EXPECT_EQ(encodersAlive(), 2);
    controller.requestStop();
    EXPECT_FALSE(controller.runActive());
    settle(controller);
    EXPECT_TRUE(test::childProcessIds(::getpid()).empty());
    EXPECT_EQ(outputFiles(), std::vector<std::string>{});
    EXPECT_EQ(controller.results()[0].state, State::Stopped);
    EXPECT_EQ(controller.results()[1].state, State::Stopped);
    EXPECT_EQ(controller.results()[2].state, State::Waiting);
    EXPECT_EQ(observer_.messages, std::vector<std::string>{"동영상 변환이 중지 되었습니다."});
    ASSERT_TRUE(controller.outcome());
    EXPECT_TRUE(controller.outcome()->stopped);
    EXPECT_EQ(controller.outcome()->succeeded, 0);
}

// Two Flash movies prepared in the same second and encoded at once keep their own work files and
// frame pipes: each output has its own movie's picture size and length.
TEST_F(QueueControllerTest, TwoFlashItemsAtOnceNeverShareWorkFilesOrPipes) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: one item at a time";
    ASSERT_TRUE(options_.setOption("parallel", "2"));
    for (const int width : {160, 320}) {
        test::SwfWriter movie(width, 120, 12);
        movie.placeObject(movie.defineRectangle(40, 30, {200, 0, 0}), 1, 10, 10);
        for (int frame = 0; frame < width / 160 * 24; ++frame) movie.showFrame();
        const std::string path = folder_ / ("movie" + std::to_string(width) + ".swf");
        test::writeFile(path, movie.finish());
        ASSERT_TRUE(addSourceFile(list_, path, MediaInfoLibrary::instance(), observer_, nullptr));
    }
    QueueController controller(list_, settings_, context_, options_, observer_);
    ASSERT_TRUE(controller.startRun(false));
    runToEnd(controller);
    for (const std::size_t row : {0u, 1u}) {
        const RunItemResult& result = controller.results()[row];
        ASSERT_EQ(result.state, State::Succeeded) << row << " " << result.reason;
        const std::string facts =
            test::runProgram({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                              "stream=width,height:format=duration", "-of", "csv=p=0", result.outputPath})
                .out;
        EXPECT_EQ(facts.substr(0, facts.find('\n')), row == 0 ? "160,120" : "320,120");
        EXPECT_NEAR(std::strtod(facts.substr(facts.find('\n') + 1).c_str(), nullptr), row == 0 ? 2.0 : 4.0, 0.2);
    }
    for (const auto& entry : std::filesystem::directory_iterator(swfWorkFolder())) {
        EXPECT_EQ(entry.path().filename().string().find("_" + std::to_string(::getpid()) + "."), std::string::npos)
            << entry.path();
    }
}

}  // namespace
}  // namespace torvane
