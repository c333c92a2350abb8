#include "run/console_child.h"
#include "run/post_process.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>

#include "support/test_support.h"

namespace torvane {
namespace {

// Records what the hooks see, in order, and on which thread.
class RecordingChild : public ConsoleChild {
public:
    ~RecordingChild() override { stop(); }

    std::string events() const {
        const std::lock_guard lock(mutex_);
        return events_;
    }
    std::string out() const {
        const std::lock_guard lock(mutex_);
        return out_;
    }
    std::string err() const {
        const std::lock_guard lock(mutex_);
        return err_;
    }
    std::size_t largestChunk() const { return largestChunk_; }
    bool stopInsideExited = false;
    std::thread::id startedOn, exitedOn;

protected:
    void onStarted(const std::string&) override {
        const std::lock_guard lock(mutex_);
        events_ += "started;";
        startedOn = std::this_thread::get_id();
    }
    void onStdout(std::string_view chunk) override {
        const std::lock_guard lock(mutex_);
        if (events_.empty() || !events_.ends_with("out;")) events_ += "out;";
        out_ += chunk;
        largestChunk_ = std::max(largestChunk_.load(), chunk.size());
    }
    void onStderr(std::string_view chunk) override {
        const std::lock_guard lock(mutex_);
        err_ += chunk;
    }
    void onExited() override {
        {
            const std::lock_guard lock(mutex_);
            events_ += "exited;";
            exitedOn = std::this_thread::get_id();
        }
        if (stopInsideExited) stop();
    }

private:
    mutable std::mutex mutex_;
    std::string events_, out_, err_;
    std::atomic<std::size_t> largestChunk_{0};
};

// Alive means running or sleeping: a killed process may stay a zombie until its new parent
// reaps it, which in a container can take a while.
bool processAlive(pid_t pid);

// A signalled process ends a moment after the signal is sent; waits (without polling) until the
// process is gone or the time is up, then says whether it still runs.
bool stillAliveAfter(pid_t pid, std::chrono::milliseconds limit) {
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        pollfd entry{pidFd, POLLIN, 0};
        ::poll(&entry, 1, static_cast<int>(limit.count()));
        ::close(pidFd);
    }
    return processAlive(pid);
}

bool processAlive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' && line[close + 2] != 'X';
}

TEST(ConsoleChild, PassesAllOutputInSmallChunksThenReportsTheEnd) {
    RecordingChild child;
    ASSERT_TRUE(child.start("sh -c \"head -c 250000 /dev/zero | tr '\\\\0' x; printf err >&2; exit 3\""));
    EXPECT_TRUE(child.waitForExit(std::chrono::seconds(20)));
    child.stop();  // joins the watcher: every hook has run
    EXPECT_EQ(child.out(), std::string(250000, 'x'));
    EXPECT_EQ(child.err(), "err");
    EXPECT_LE(child.largestChunk(), ConsoleChild::kChunkBytes);
    EXPECT_EQ(child.events(), "started;out;exited;");
    EXPECT_EQ(child.exitStatus(), 3);
    EXPECT_EQ(child.startedOn, std::this_thread::get_id());
    EXPECT_NE(child.exitedOn, std::this_thread::get_id());
    EXPECT_FALSE(child.isRunning());
    EXPECT_FALSE(ConsoleChild::anyRunning());
}

TEST(ConsoleChild, WritesToTheChildsInput) {
    RecordingChild child;
    ASSERT_TRUE(child.start("head -n 1"));
    child.writeInput("q\n");
    EXPECT_TRUE(child.waitForExit(std::chrono::seconds(10)));
    child.stop();
    EXPECT_EQ(child.out(), "q\n");
    child.writeInput("ignored once nothing runs");
}

TEST(ConsoleChild, StopEndsTheChildAndEverythingItStarted) {
    test::TempFolder folder;
    const std::string pidFile = folder / "grandchild.pid";
    RecordingChild child;
    ASSERT_TRUE(child.start("sh -c \"sleep 60 & echo $! > '" + pidFile + "'; wait\""));
    while (test::readFile(pidFile).empty()) std::this_thread::yield();
    const pid_t grandchild = std::stoi(test::readFile(pidFile));
    EXPECT_TRUE(child.isRunning());
    EXPECT_TRUE(ConsoleChild::anyRunning());
    const auto before = std::chrono::steady_clock::now();
    child.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    EXPECT_FALSE(child.isRunning());
    EXPECT_FALSE(stillAliveAfter(grandchild, std::chrono::milliseconds(5000)));
    EXPECT_EQ(child.events(), "started;exited;");
    child.stop();  // twice is harmless
}

TEST(ConsoleChild, AChildThatLeavesSomethingRunningStillEnds) {
    test::TempFolder folder;
    const std::string pidFile = folder / "left.pid";
    RecordingChild child;
    ASSERT_TRUE(child.start("sh -c \"sleep 60 & echo $! > '" + pidFile + "'; exit 0\""));
    EXPECT_TRUE(child.waitForExit(std::chrono::seconds(10)));
    child.stop();
    EXPECT_FALSE(stillAliveAfter(std::stoi(test::readFile(pidFile)), std::chrono::milliseconds(5000)));
    EXPECT_EQ(child.exitStatus(), 0);
}

TEST(ConsoleChild, KilledFromOutsideReportsTheSignal) {
    RecordingChild child;
    // The shell says its own id, which the sleep it becomes keeps.
    ASSERT_TRUE(child.start("sh -c \"echo $$; exec sleep 60\""));
    while (child.out().find('\n') == std::string::npos) std::this_thread::yield();
    ASSERT_EQ(::kill(std::stoi(child.out()), SIGKILL), 0);
    EXPECT_TRUE(child.waitForExit(std::chrono::seconds(10)));
    child.stop();
    EXPECT_EQ(child.exitStatus(), 128 + SIGKILL);
    EXPECT_EQ(child.events(), "started;out;exited;");
}

TEST(ConsoleChild, AStartFailureSaysSoAndStartsNothing) {
    RecordingChild child;
    EXPECT_FALSE(child.start("/nonexistent/encoder -i x"));
    EXPECT_EQ(child.events(), "out;");
    EXPECT_EQ(child.out().rfind("Unable to start /nonexistent/encoder -i x\n", 0), 0u);
    EXPECT_FALSE(child.isRunning());
    child.stop();  // idle: returns at once
}

TEST(ConsoleChild, StopFromInsideItsOwnEndAndRestarts) {
    RecordingChild child;
    child.stopInsideExited = true;
    ASSERT_TRUE(child.start("true"));
    EXPECT_TRUE(child.waitForExit(std::chrono::seconds(10)));
    ASSERT_TRUE(child.start("echo again"));
    EXPECT_TRUE(child.waitForExit(std::chrono::seconds(10)));
    child.stop();
    EXPECT_EQ(child.events(), "started;exited;started;out;exited;");
}

TEST(ConsoleChild, RunAndWaitHelpers) {
    EXPECT_FALSE(runHiddenAndWait("/nonexistent/flvtool2", {"-U", "x.flv"}));
    EXPECT_FALSE(runAndWait("/nonexistent/swfcombine", "-d a.swf"));
    EXPECT_TRUE(runAndWait("/etc/hostname", "not a program"));  // exists, cannot start: counts as run
    test::TempFolder folder;
    EXPECT_TRUE(runHiddenAndWait("/bin/sh", {"-c", "echo done > '" + folder / "mark" + "'"}));
    EXPECT_EQ(test::readFile(folder / "mark"), "done\n");
    EXPECT_TRUE(runAndWait("/bin/sh", "-c \"echo 'quoted arg' > '" + folder / "mark2" + "'\""));
    EXPECT_EQ(test::readFile(folder / "mark2"), "quoted arg\n");
}

TEST(PostProcess, ToolsByContainer) {
    const auto mp4 = postProcessingRuns("MP4", "/out/a b.mp4", "/opt/torvane");
    ASSERT_EQ(mp4.size(), 3u);
    EXPECT_EQ(mp4[0].program, "/opt/torvane/mp4creator");
    EXPECT_EQ(mp4[0].arguments, (std::vector<std::string>{"-hint=1", "/out/a b.mp4"}));
    EXPECT_EQ(mp4[1].arguments[0], "-hint=2");
    EXPECT_EQ(mp4[2].arguments[0], "-optimize");
    const auto flv = postProcessingRuns("FLV", "/out/a.flv", "/opt/torvane");
    ASSERT_EQ(flv.size(), 1u);
    EXPECT_EQ(flv[0].arguments, (std::vector<std::string>{"-U", "/out/a.flv"}));
    EXPECT_TRUE(postProcessingRuns("avi", "/out/a.avi", "/opt/torvane").empty());
    // Missing tools are skipped.
    EXPECT_TRUE(postProcess("mp4", "/out/a.mp4", "/nonexistent").empty());
}

TEST(PostProcess, CompletionActionPrecedence) {
    EXPECT_EQ(chooseCompletionAction(true, false, true, true, "y"), CompletionAction::PowerOff);
    EXPECT_EQ(chooseCompletionAction(true, false, false, true, "y"), CompletionAction::ExitProgram);
    EXPECT_EQ(chooseCompletionAction(true, false, false, false, "On"), CompletionAction::FinishDialog);
    EXPECT_EQ(chooseCompletionAction(true, false, false, false, "n"), CompletionAction::None);
    EXPECT_EQ(chooseCompletionAction(true, true, true, false, "y"), CompletionAction::None);    // stopped
    EXPECT_EQ(chooseCompletionAction(false, false, true, false, "y"), CompletionAction::None);  // not exhausted
}

}  // namespace
}  // namespace torvane
