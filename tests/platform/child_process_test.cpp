#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>

#include "support/test_support.h"

namespace torvane {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

using test::processEnded;
using test::processEndsWithin;

TEST(CollectOutputWithin, GathersBothStreamsOfAProgramThatEnds) {
    const std::string output =
        collectOutputWithin({"/bin/sh", "-c", "echo out; echo err >&2; echo more"}, milliseconds(5000));
    EXPECT_NE(output.find("out\n"), std::string::npos);
    EXPECT_NE(output.find("err\n"), std::string::npos);
    EXPECT_NE(output.find("more\n"), std::string::npos);
    EXPECT_EQ(collectOutputWithin({"/nonexistent/program"}, milliseconds(1000)), "");
}

TEST(CollectOutputWithin, EndsAProgramThatRunsPastItsTimeAndKeepsWhatItSaid) {
    const auto start = Clock::now();
    // The child and its own child both go: the whole group is ended.
    const std::string output =
        collectOutputWithin({"/bin/sh", "-c", "echo -X 550; sleep 30 & wait"}, milliseconds(300));
    EXPECT_EQ(output, "-X 550\n");
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
}

TEST(ReadLineWithin, ReturnsALineOrNothingWhenTheWriterGoesOrTimeRunsOut) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "ready\npartial", 13), 13);
    EXPECT_EQ(readLineWithin(fds[0], milliseconds(1000)), "ready");
    // "partial" has no line end yet: the time runs out.
    EXPECT_EQ(readLineWithin(fds[0], milliseconds(50)), std::nullopt);
    ::close(fds[1]);
    EXPECT_EQ(readLineWithin(fds[0], milliseconds(1000)), std::nullopt);
    ::close(fds[0]);
}

TEST(EndChildGroup, EndsAChildThatIgnoresTheRequestToo) {
    std::string error;
    auto polite = spawnChild({"/bin/sh", "-c", "sleep 30"}, {}, ChildStreams::Silenced, &error);
    ASSERT_TRUE(polite) << error;
    EXPECT_EQ(endChildGroup(polite->pid, milliseconds(2000)), 128 + SIGTERM);

    auto stubborn = spawnChild({"/bin/sh", "-c", "trap '' TERM; echo; sleep 30"}, {}, ChildStreams::Piped, &error);
    ASSERT_TRUE(stubborn) << error;
    // Once it has printed, its trap is set.
    ASSERT_TRUE(readLineWithin(stubborn->stdoutFd, milliseconds(5000)));
    const auto start = Clock::now();
    EXPECT_EQ(endChildGroup(stubborn->pid, milliseconds(200)), 128 + SIGKILL);
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
    for (const int fd : {stubborn->stdinFd, stubborn->stdoutFd, stubborn->stderrFd}) ::close(fd);

    // A child that has ended already is only reaped.
    auto done = spawnChild({"/bin/sh", "-c", "exit 3"}, {}, ChildStreams::Silenced, &error);
    ASSERT_TRUE(done);
    EXPECT_EQ(waitForChild(done->pid), 3);
}

TEST(SpawnChild, StartsWithCleanSignalsInItsFolderAndSaysWhyItCannot) {
    // We ignore SIGPIPE (a child closing its input must not kill us) and block SIGINT; the child
    // must not inherit either.
    const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
    sigset_t interrupt, previousMask;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &previousMask);
    const std::string status = collectOutputWithin({"cat", "/proc/self/status"}, milliseconds(5000));
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    std::signal(SIGPIPE, previousPipe);
    EXPECT_NE(status.find("\nSigBlk:\t0000000000000000\n"), std::string::npos) << status;
    EXPECT_NE(status.find("\nSigIgn:\t0000000000000000\n"), std::string::npos) << status;

    std::string error;
    auto child = spawnChild({"pwd"}, "/proc", ChildStreams::Piped, &error);
    ASSERT_TRUE(child) << error;
    EXPECT_EQ(readLineWithin(child->stdoutFd, milliseconds(5000)), "/proc");
    for (const int fd : {child->stdinFd, child->stdoutFd, child->stderrFd}) ::close(fd);
    EXPECT_EQ(waitForChild(child->pid), 0);

    EXPECT_FALSE(spawnChild({"/nonexistent/program"}, {}, ChildStreams::Piped, &error));
    EXPECT_EQ(error, "/nonexistent/program: No such file or directory");
    EXPECT_FALSE(spawnChild({"torvane-no-such-program"}, {}, ChildStreams::Silenced, &error));
    EXPECT_EQ(error, "torvane-no-such-program: No such file or directory");
    EXPECT_FALSE(spawnChild({"/proc/"}, {}, ChildStreams::Silenced, &error));
    EXPECT_EQ(error, "/proc/: Permission denied");
    EXPECT_FALSE(spawnChild({"/bin/true"}, "/nonexistent/folder", ChildStreams::Silenced, &error));
    EXPECT_EQ(error, "/bin/true: No such file or directory");
}

TEST(SpawnChild, TheChildDoesNotOutliveAKilledParent) {
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        ::close(report[0]);
        std::string error;
        const auto child = spawnChild({"sleep", "30"}, {}, ChildStreams::Silenced, &error);
        const pid_t pid = child ? child->pid : -1;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &pid, sizeof pid);
        while (true) ::pause();
    }
    ::close(report[1]);
    pid_t sleeper = -1;
    ASSERT_EQ(::read(report[0], &sleeper, sizeof sleeper), static_cast<ssize_t>(sizeof sleeper));
    ::close(report[0]);
    ASSERT_GT(sleeper, 0);
    EXPECT_FALSE(processEnded(sleeper));

    ::kill(parent, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(parent, &status, 0), parent);
    const bool ended = processEndsWithin(sleeper, milliseconds(2000));
    EXPECT_TRUE(ended);
    if (!ended) ::kill(sleeper, SIGKILL);
}

}  // namespace
}  // namespace torvane
