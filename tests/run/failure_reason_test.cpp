#include "run/failure_reason.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "platform/child_process.h"
#include "support/test_support.h"

namespace torvane {
namespace {

struct EncoderRun {
    std::string output;  // standard output and error together, as the run keeps them
    int status = -1;
};

EncoderRun runEncoder(const std::vector<std::string>& argv) {
    const test::ProgramResult result = test::runProgram(argv);
    return {result.out + result.err, result.exitCode};
}

// Runs ffmpeg in real time and kills it (SIGKILL, by its pid) once it has reported progress.
EncoderRun killedFfmpeg(const std::string& output) {
    std::string error;
    auto child = spawnChild(
        {"ffmpeg", "-nostdin", "-y", "-re", "-i", test::testMedia("av4.mp4"), "-c:v", "libx264", "-c:a", "aac", output},
        {}, ChildStreams::Piped, &error);
    if (!child) {
        ADD_FAILURE() << error;
        return {};
    }
    ::close(child->stdinFd);
    ::close(child->stdoutFd);
    EncoderRun run;
    char buffer[4096];
    bool killed = false;
    for (ssize_t n; (n = ::read(child->stderrFd, buffer, sizeof buffer)) > 0;) {
        run.output.append(buffer, static_cast<std::size_t>(n));
        if (!killed && run.output.find("frame=") != std::string::npos) {
            ::kill(child->pid, SIGKILL);
            killed = true;
        }
    }
    ::close(child->stderrFd);
    run.status = waitForChild(child->pid);
    return run;
}

TEST(ExplainEncoderFailure, NamesTheCommonCausesInWhatFfmpegPrints) {
    const std::string clip = test::testMedia("av.mp4");
    const test::TempFolder folder;

    const EncoderRun damaged =
        runEncoder({"ffmpeg", "-nostdin", "-y", "-i", test::testMedia("truncated.mp4"), folder / "out.mp4"});
    EXPECT_EQ(explainEncoderFailure(damaged.output, damaged.status, "ffmpeg"),
              "입력 파일이 손상되었습니다 (" + test::testMedia("truncated.mp4") +
                  ": Invalid data found when processing input)");

    // Not even root may make a file in /sys.
    const EncoderRun unwritable = runEncoder({"ffmpeg", "-nostdin", "-y", "-i", clip, "-f", "mp4", "/sys/out.mp4"});
    EXPECT_EQ(explainEncoderFailure(unwritable.output, unwritable.status, "ffmpeg"),
              "쓰기 권한이 없습니다 (/sys/out.mp4: Permission denied)");

    // /dev/full refuses every write with ENOSPC: at the header (ffmpeg fails), or only at the
    // end (ffmpeg still exits with 0 and closes with its statistics, "[aac] Qavg" last).
    const EncoderRun fullAtStart = runEncoder({"ffmpeg", "-nostdin", "-y", "-i", clip, "-f", "mp4", "/dev/full"});
    EXPECT_NE(fullAtStart.status, 0);
    EXPECT_EQ(explainEncoderFailure(fullAtStart.output, fullAtStart.status, "ffmpeg")
                  .rfind("저장 공간이 부족합니다 (Could not write header for output file #0", 0),
              0u)
        << fullAtStart.output;
    const EncoderRun fullAtEnd = runEncoder(
        {"ffmpeg", "-nostdin", "-y", "-i", clip, "-c:v", "libx264", "-c:a", "aac", "-f", "mpegts", "/dev/full"});
    EXPECT_NE(fullAtEnd.output.rfind("Qavg"), std::string::npos);
    EXPECT_EQ(explainEncoderFailure(fullAtEnd.output, fullAtEnd.status, "ffmpeg"),
              "저장 공간이 부족합니다 (Error writing trailer of /dev/full: No space left on device)");

    // The encoder's own words, not ffmpeg's summary after them nor the closing lines.
    const EncoderRun odd = runEncoder(
        {"ffmpeg", "-nostdin", "-y", "-i", clip, "-vf", "scale=321:241", "-c:v", "libx264", folder / "odd.mp4"});
    EXPECT_EQ(explainEncoderFailure(odd.output, odd.status, "ffmpeg"), "[libx264] width not divisible by 2 (321x241)");
    const EncoderRun rate =
        runEncoder({"ffmpeg", "-nostdin", "-y", "-i", clip, "-c:a", "libmp3lame", "-ar", "12345", folder / "rate.mp3"});
    EXPECT_EQ(explainEncoderFailure(rate.output, rate.status, "ffmpeg"),
              "[libmp3lame] Specified sample rate 12345 is not supported");
    const EncoderRun codec = runEncoder({"ffmpeg", "-nostdin", "-y", "-i", clip, "-c:v", "nosuch", folder / "c.mp4"});
    EXPECT_EQ(explainEncoderFailure(codec.output, codec.status, "ffmpeg"), "Unknown encoder 'nosuch'");
}

TEST(ExplainEncoderFailure, AKilledEncoderIsSaidToBeKilled) {
    const test::TempFolder folder;
    const EncoderRun killed = killedFfmpeg(folder / "killed.mp4");
    EXPECT_EQ(killed.status, 128 + SIGKILL);
    EXPECT_EQ(explainEncoderFailure(killed.output, killed.status, "ffmpeg"), "인코더가 신호 9로 강제 종료되었습니다");

    // Cut off right after its headers, with no status to tell: its metadata is no reason.
    const std::string headersOnly =
        "Output #0, mp4, to 'out.mp4':\n  Metadata:\n    encoder         : Lavf59.27.100\n"
        "  Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, stereo, fltp, 128 kb/s\n"
        "    Metadata:\n      encoder         : Lavc59.37.100 aac\n";
    EXPECT_EQ(explainEncoderFailure(headersOnly, 1, "ffmpeg"), "ffmpeg 종료 코드 1");
    EXPECT_EQ(explainEncoderFailure("", 2, ""), "인코더 종료 코드 2");
}

// Whole recorded runs that went well hold no line that could pass for a reason.
TEST(ExplainEncoderFailure, FindsNothingInTheOutputOfGoodRuns) {
    for (const char* recording : {"ffmpeg_h264_mp4.stderr", "ffmpeg_mp3.stderr", "mencoder_avi.stdout"}) {
        const std::string output = test::readFile(test::sourceDir() + "/tests/recordings/" + recording);
        ASSERT_FALSE(output.empty()) << recording;
        const std::string encoder = std::string(recording).substr(0, std::string(recording).find('_'));
        EXPECT_EQ(explainEncoderFailure(output, 0, encoder), "") << recording;
        EXPECT_EQ(explainEncoderFailure(output, 1, encoder), encoder + " 종료 코드 1") << recording;
    }
}

TEST(ExplainEncoderFailure, NamesTheCommonCausesInWhatMencoderPrints) {
    const test::TempFolder folder;
    const EncoderRun notMedia = runEncoder(
        {"mencoder", test::testMedia("not_media.txt"), "-o", folder / "out.avi", "-ovc", "lavc", "-oac", "mp3lame"});
    EXPECT_EQ(explainEncoderFailure(notMedia.output, notMedia.status, "mencoder"),
              "입력 파일이 손상되었습니다 (Sorry, this file format is not recognized/supported)");

    // mencoder says "File not found" of any file it cannot open: the output line tells more.
    const EncoderRun unwritable =
        runEncoder({"mencoder", test::testMedia("av.mp4"), "-o", "/sys/out.avi", "-ovc", "lavc", "-oac", "mp3lame"});
    EXPECT_EQ(explainEncoderFailure(unwritable.output, unwritable.status, "mencoder"),
              "출력 파일을 만들 수 없습니다 (Cannot open output file '/sys/out.avi'.)");
}

}  // namespace
}  // namespace torvane
