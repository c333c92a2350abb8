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
    EXPECT_NE(line.find(" -volume 0 "), std::string::npos);  // silent until played
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
    EXPECT_FALSE(player.playingFlag());  // paused on the first frame

    player.pause();  // paused already: nothing
    player.resume();
    player.resume();  // playing already: nothing
    player.pause();
    player.resume();  // the sound is on already
    player.stopAtStart();
    EXPECT_FALSE(player.playingFlag());
    EXPECT_EQ(player.currentPosition(10s), 12.5);
    // The stand-in always answers 12.5: close enough to 12.45, after the target of 11, and
    // nearer to it than the key frame before, which is again 12.5.
    EXPECT_EQ(player.seekTo(12.45, 10s), 12.5);
    EXPECT_EQ(player.seekTo(11, 10s), 12.5);
    for (const char* line :
         {"pausing seek 0 2", "pausing_keep_force volume 50 1", "pause", "pause", "pause", "pausing seek 0 2",
          "pausing_keep_force get_time_pos", "pausing_keep seek 12.450 2", "pausing_keep_force get_time_pos",
          "pausing_keep seek 11.000 2", "pausing_keep_force get_time_pos", "pausing_keep seek -1.500 0",
          "pausing_keep_force get_time_pos"}) {
        EXPECT_EQ(recorder.nextLine(), line);
    }

    player.close();
    EXPECT_FALSE(player.isRunning());
    EXPECT_EQ(::kill(pid, 0), -1);  // ended and reaped
    EXPECT_EQ(player.currentPosition(100ms), std::nullopt);
    // A player that has gone (at the end of its file) starts again on "재생", and plays.
    player.resume();
    EXPECT_TRUE(player.isRunning());
    arguments.clear();
    recorder.started(&arguments, expected.size() - 1);
    EXPECT_EQ(arguments.back(), "/media/a clip.mp4");
    for (const char* line : {"pausing seek 0 2", "pausing_keep_force volume 50 1", "pause"}) {
        EXPECT_EQ(recorder.nextLine(), line);
    }
}

TEST(PreviewPlayer, AMissingPlayerIsSilent) {
    test::TempFolder folder;
    PreviewPlayer player(folder / "no-such-player");
    player.openMedia("/media/a.mp4", 1);
    EXPECT_FALSE(player.isRunning());
    player.resume();
    EXPECT_FALSE(player.playingFlag());
    EXPECT_EQ(player.seekTo(3, 100ms), std::nullopt);
    EXPECT_EQ(player.currentPosition(100ms), std::nullopt);
}

}  // namespace
}  // namespace torvane
