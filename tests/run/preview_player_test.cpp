#include "run/preview_player.h"

#include <gtest/gtest.h>
#include <signal.h>

#include "command/command_line_split.h"
#include "support/recording_player.h"
#include "support/test_support.h"

namespace torvane {
namespace {

using namespace std::chrono_literals;

TEST(PreviewPlayer, CommandLineDrawsIntoTheWindowAndQuotesBothPaths) {
    const std::string line = PreviewPlayer::commandLine("/opt/my player/mplayer", "/media/a clip.mp4", 73400323);
    const std::vector<std::string> argv = splitCommandLine(line);
    ASSERT_GE(argv.size(), 3u);
    EXPECT_EQ(argv.front(), "/opt/my player/mplayer");
    EXPECT_EQ(argv.back(), "/media/a clip.mp4");
    EXPECT_NE(line.find(" -slave "), std::string::npos);
    EXPECT_NE(line.find(" -wid 73400323 "), std::string::npos);
    EXPECT_NE(line.find(" -ao pulse,alsa,null "), std::string::npos);
}

TEST(PreviewPlayer, WritesExactlyTheSlaveCommandsAndReadsThePosition) {
    test::RecordingPlayer recorder;
    PreviewPlayer player(recorder.path());
    EXPECT_EQ(player.currentPosition(100ms), std::nullopt);  // no player yet
    player.openMedia("/media/a clip.mp4", 4242);
    const std::vector<std::string> expected =
        splitCommandLine(PreviewPlayer::commandLine("x", "/media/a clip.mp4", 4242));
    std::vector<std::string> arguments;
    const pid_t pid = recorder.started(&arguments, expected.size() - 1);
    for (std::size_t i = 1; i < expected.size(); ++i) EXPECT_EQ(arguments[i - 1], expected[i]);
    EXPECT_TRUE(player.playingFlag());

    player.resume();  // already playing: nothing
    player.pause();
    player.pause();  // already paused: nothing
    EXPECT_FALSE(player.playingFlag());
    player.resume();
    player.seekPercent(37);
    player.pause();
    player.seekPercent(0);  // mplayer leaves its pause to seek
    EXPECT_TRUE(player.playingFlag());
    EXPECT_EQ(player.currentPosition(10s), 12.5);
    for (const char* line : {"p\r", "p\r", "seek 37 1\r", "p\r", "seek 0 1\r", "pausing_keep_force get_time_pos"}) {
        EXPECT_EQ(recorder.nextLine(), line);
    }

    player.close();
    EXPECT_FALSE(player.isRunning());
    EXPECT_EQ(::kill(pid, 0), -1);  // ended and reaped
    EXPECT_EQ(player.currentPosition(100ms), std::nullopt);
    // A player that has gone (at the end of its file) starts again on "재생".
    player.resume();
    EXPECT_TRUE(player.isRunning());
    arguments.clear();
    recorder.started(&arguments, expected.size() - 1);
    EXPECT_EQ(arguments.back(), "/media/a clip.mp4");
}

TEST(PreviewPlayer, AMissingPlayerIsSilentAndCountsAsPlaying) {
    test::TempFolder folder;
    PreviewPlayer player(folder / "no-such-player");
    player.openMedia("/media/a.mp4", 1);
    EXPECT_FALSE(player.isRunning());
    EXPECT_TRUE(player.playingFlag());
    player.pause();
    player.seekPercent(50);
    EXPECT_EQ(player.currentPosition(100ms), std::nullopt);
}

}  // namespace
}  // namespace torvane
