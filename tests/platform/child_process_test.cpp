#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

namespace torvane {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

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

}  // namespace
}  // namespace torvane
