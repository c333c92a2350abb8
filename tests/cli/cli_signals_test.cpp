// torvane-cli convert ended by a signal: stopped by HUP, TERM and INT with the results printed,
// and killed outright without leaving its encoder behind.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace torvane {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

using test::processEnded;
using test::processEndsWithin;

std::string firstLineOf(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The running ffmpeg among the children of any thread of the process; -1 when there is none yet.
pid_t ffmpegChildOf(pid_t parent) {
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(parent) + "/task", error)) {
        std::istringstream children(firstLineOf(task.path() / "children"));
        for (pid_t child; children >> child;) {
            if (firstLineOf("/proc/" + std::to_string(child) + "/comm") == "ffmpeg" && !processEnded(child))
                return child;
        }
    }
    return -1;
}

class CliSignalTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A minute of sound and a small picture, converted in real time: long enough to be
        // mid-run whenever a signal comes.
        clip_ = folder_ / "minute.mp4";
        const test::ProgramResult made = test::makeClip(clip_, 60);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    void TearDown() override {
        // Whatever a failed check left running of ours is ended by its pid.
        if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) ::close(output_);
    }

    // Starts torvane-cli convert on the clip (or the files given), its standard output into a
    // pipe we read.
    void start(const std::string& encoderOptions = "-af arealtime", std::vector<std::string> files = {}) {
        const std::string preset = test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini";
        std::vector<std::string> argv = {test::buildDir() + "/torvane-cli",
                                         "convert",
                                         "--config-dir",
                                         folder_ / "config",
                                         "--preset",
                                         preset,
                                         "--out",
                                         folder_ / "out",
                                         "--set",
                                         "plusparam2=" + encoderOptions};
        if (files.empty()) files.push_back(clip_);
        argv.insert(argv.end(), files.begin(), files.end());
        std::vector<char*> args;
        for (const std::string& argument : argv) args.push_back(const_cast<char*>(argument.c_str()));
        args.push_back(nullptr);
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            // A queue journal of the test's own.
            ::setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
            ::dup2(fds[1], 1);
            const int nothing = ::open("/dev/null", O_WRONLY);
            ::dup2(nothing, 2);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        output_ = fds[0];
    }

    // Reads until the first progress line (of that item) has come; false when the output ended
    // before it.
    bool readUntilProgress(std::string_view item = "[1/1]") {
        char buffer[256];
        while (seen_.find(item) == std::string::npos) {
            pollfd entry{output_, POLLIN, 0};
            if (::poll(&entry, 1, 30000) <= 0) return false;
            const ssize_t n = ::read(output_, buffer, sizeof buffer);
            if (n <= 0) return false;
            seen_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    // The encoder torvane-cli started, waited for with a deadline.
    pid_t waitForEncoder() {
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        for (pid_t encoder; Clock::now() < deadline; ::usleep(10000)) {
            if ((encoder = ffmpegChildOf(pid_)) > 0) return encoder;
        }
        return -1;
    }

    void readToEnd() {
        char buffer[256];
        for (ssize_t n; (n = ::read(output_, buffer, sizeof buffer)) > 0;)
            seen_.append(buffer, static_cast<std::size_t>(n));
    }

    // Waits for torvane-cli to end; its exit code, or -1 when a signal ended it.
    int exitCode() {
        int status = 0;
        EXPECT_EQ(::waitpid(pid_, &status, 0), pid_);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    test::TempFolder folder_;
    std::string clip_;
    pid_t pid_ = -1;
    int output_ = -1;
    std::string seen_;
};

TEST_F(CliSignalTest, HangUpTermAndInterruptStopTheRunWithTheResultsPrinted) {
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        seen_.clear();
        start();
        ASSERT_TRUE(readUntilProgress()) << seen_;
        const pid_t encoder = waitForEncoder();
        ASSERT_GT(encoder, 0);
        ::kill(pid_, signal);
        readToEnd();
        ::close(output_);
        output_ = -1;
        EXPECT_EQ(exitCode(), 128 + signal) << seen_;
        EXPECT_NE(seen_.find("\n결과:\n  minute.mp4\t중지됨 ("), std::string::npos) << seen_;
        EXPECT_TRUE(processEnded(encoder));
        EXPECT_FALSE(std::filesystem::exists(folder_ / "out/minute.mp4"));
    }
}

// A closed terminal: every write fails from then on, and the run must still end as asked.
TEST_F(CliSignalTest, AHangUpWithNobodyReadingStillEndsTheRunCleanly) {
    start();
    ASSERT_TRUE(readUntilProgress()) << seen_;
    const pid_t encoder = waitForEncoder();
    ASSERT_GT(encoder, 0);
    ::close(output_);
    output_ = -1;
    ::kill(pid_, SIGHUP);
    EXPECT_EQ(exitCode(), 128 + SIGHUP);
    EXPECT_TRUE(processEnded(encoder));
}

TEST_F(CliSignalTest, AKilledConverterLeavesNoEncoderRunning) {
    // A quiet encoder: one that writes would die of its broken standard error anyway, as a
    // silenced tool or an encoder waiting on flashgrab's pipe would not.
    start("-af arealtime -nostats -loglevel quiet");
    ASSERT_TRUE(readUntilProgress()) << seen_;
    const pid_t encoder = waitForEncoder();
    ASSERT_GT(encoder, 0);
    ::kill(pid_, SIGKILL);
    EXPECT_EQ(exitCode(), -1);
    const bool ended = processEndsWithin(encoder, milliseconds(2000));
    EXPECT_TRUE(ended) << "ffmpeg " << encoder << " outlived the converter";
    if (!ended) ::kill(encoder, SIGKILL);
}

// Ctrl-Z pauses: the program stops as a shell expects and holds its encoder still (no processor
// time, no progress line); fg goes on; Ctrl-C then stops the run as ever.
TEST_F(CliSignalTest, CtrlZPausesTheEncoderAndFgGoesOn) {
    start();
    ASSERT_TRUE(readUntilProgress()) << seen_;
    const pid_t encoder = waitForEncoder();
    ASSERT_GT(encoder, 0);
    ::kill(pid_, SIGTSTP);
    const auto stoppedBy = Clock::now() + std::chrono::seconds(10);
    while ((test::processStateAndTicks(pid_).first != 'T' || test::processStateAndTicks(encoder).first != 'T') &&
           Clock::now() < stoppedBy) {
        ::usleep(10000);
    }
    ASSERT_EQ(test::processStateAndTicks(pid_).first, 'T');
    ASSERT_EQ(test::processStateAndTicks(encoder).first, 'T');
    // What was written before the pause is read away; nothing more comes while it lasts.
    char buffer[4096];
    ::fcntl(output_, F_SETFL, O_NONBLOCK);
    while (::read(output_, buffer, sizeof buffer) > 0) {
    }
    const long long ticks = test::processStateAndTicks(encoder).second;
    pollfd entry{output_, POLLIN, 0};
    EXPECT_EQ(::poll(&entry, 1, 1500), 0);
    EXPECT_EQ(test::processStateAndTicks(encoder).second, ticks);

    ::kill(pid_, SIGCONT);
    EXPECT_EQ(::poll(&entry, 1, 10000), 1);  // progress again
    EXPECT_NE(test::processStateAndTicks(encoder).first, 'T');
    ::fcntl(output_, F_SETFL, 0);
    ::kill(pid_, SIGINT);
    readToEnd();
    EXPECT_EQ(exitCode(), 128 + SIGINT) << seen_;
    EXPECT_TRUE(processEnded(encoder));
}

// Killed outright in the middle of its second item, then --resume: every file converted exactly
// once, the first one's output untouched, nothing partial left, and the journal gone at the end.
TEST_F(CliSignalTest, AKilledRunResumesWhereItWasCut) {
    std::vector<std::string> files;
    for (const char* name : {"one.mp4", "two.mp4", "three.mp4"}) {
        files.push_back(folder_ / name);
        const test::ProgramResult made = test::makeClip(files.back(), std::string(name) == "two.mp4" ? 6 : 1);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    start("-af arealtime", files);
    ASSERT_TRUE(readUntilProgress("[2/3]")) << seen_;
    ASSERT_GT(waitForEncoder(), 0);
    // The first item is checked and published while the second encodes.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(folder_ / "out/one.mp4") && Clock::now() < deadline) ::usleep(10000);
    ::kill(pid_, SIGKILL);
    EXPECT_EQ(exitCode(), -1);
    ASSERT_TRUE(std::filesystem::exists(folder_ / "out/one.mp4"));
    const auto firstWritten = std::filesystem::last_write_time(folder_ / "out/one.mp4");
    ASSERT_TRUE(std::filesystem::exists(folder_ / "state/torvane/queue.ini"));

    const test::ProgramResult resumed =
        test::runProgram({test::buildDir() + "/torvane-cli", "convert", "--config-dir", folder_ / "config", "--resume"},
                         {"XDG_STATE_HOME=" + (folder_ / "state")});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
    std::vector<std::string> outputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ / "out"))
        outputs.push_back(entry.path().filename());
    std::sort(outputs.begin(), outputs.end());
    EXPECT_EQ(outputs, (std::vector<std::string>{"one.mp4", "three.mp4", "two.mp4"}));
    EXPECT_EQ(std::filesystem::last_write_time(folder_ / "out/one.mp4"), firstWritten);
    const test::ProgramResult length = test::runProgram(
        {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", folder_ / "out/two.mp4"});
    EXPECT_NEAR(std::atof(length.out.c_str()), 6.0, 0.3);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "state/torvane/queue.ini"));

    // Nothing left to resume now.
    const test::ProgramResult again =
        test::runProgram({test::buildDir() + "/torvane-cli", "convert", "--config-dir", folder_ / "config", "--resume"},
                         {"XDG_STATE_HOME=" + (folder_ / "state")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("no interrupted list to resume"), std::string::npos) << again.err;
}

}  // namespace
}  // namespace torvane
