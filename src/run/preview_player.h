#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace torvane {

// The player of the range dialog: mplayer in slave mode, drawing into a window of ours and
// steered by commands on its standard input. What it prints is dropped, except the answer to a
// question for its position. Ending the player ends its whole process group.
class PreviewPlayer {
public:
    explicit PreviewPlayer(std::string playerPath);
    ~PreviewPlayer();
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    // The player's command line for the file, its picture drawn into the window.
    static std::string commandLine(const std::string& playerPath, const std::string& mediaPath, std::uint64_t windowId);

    // Starts the player on the file (ending one that runs) and counts it as playing, whether or
    // not it could be started.
    void openMedia(const std::string& path, std::uint64_t windowId);
    // Toggles the player's pause when it is paused; a player that has reached the end of its
    // file and gone is started again.
    void resume();
    // Toggles the player's pause when it plays.
    void pause();
    // Seeks to the percent of the file; the player plays on from there.
    void seekPercent(int percent);
    // Asks the player where it is, in seconds of the file; nullopt when no answer came within
    // the limit (no player runs, or it has ended).
    std::optional<double> currentPosition(std::chrono::milliseconds limit);
    // Ends the player; safe when none runs.
    void close();

    bool isRunning() const;
    bool playingFlag() const { return playingFlag_; }

private:
    class Host;

    std::string playerPath_;
    std::string mediaPath_;
    std::uint64_t windowId_ = 0;
    bool playingFlag_ = false;
    std::unique_ptr<Host> host_;
};

}  // namespace torvane
