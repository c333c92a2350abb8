#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace torvane {

// The player of the range dialog: mplayer in slave mode, drawing into a window of ours and
// steered by commands on its standard input. What it prints is dropped, except its answers to
// questions for its position and length. Ending the player ends its whole process group.
class PreviewPlayer {
public:
    // onAnswer runs on a reader thread whenever the player has answered a question; it should
    // only wake the owner, who then reads lastPosition.
    explicit PreviewPlayer(std::string playerPath, std::function<void()> onAnswer = {});
    ~PreviewPlayer();
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    // The player's command line for the file, its picture drawn into the window. It starts
    // silent: the sound is turned up on the first "재생".
    static std::string commandLine(const std::string& playerPath, const std::string& mediaPath, std::uint64_t windowId);

    // Starts the player on the file (ending one that runs), paused on its first frame.
    void openMedia(const std::string& path, std::uint64_t windowId);
    // Plays from where the player stands, with its sound; a player that has reached the end
    // of its file and gone is started again.
    void resume();
    // Pauses a playing player.
    void pause();
    // Goes back to the first frame and pauses there.
    void stopAtStart();
    // Moves to the second of the file, keeping the pause as it was, and returns where the
    // player landed. The player can only land on a key frame: when the one after the target is
    // farther than the one before, it is moved back to that one. nullopt when it does not answer.
    std::optional<double> seekTo(double seconds, std::chrono::milliseconds limit);
    // Asks the player where it is, in seconds of the file; nullopt when no answer came within
    // the limit (no player runs, or it has ended).
    std::optional<double> currentPosition(std::chrono::milliseconds limit);
    // Asks the position (and the length, while it is not known) without waiting; the answers
    // are read later with lastPosition and length.
    void askPosition();
    std::optional<double> lastPosition() const;
    std::optional<double> length() const;
    // Ends the player; safe when none runs.
    void close();

    bool isRunning() const;
    bool playingFlag() const { return playingFlag_; }

private:
    class Host;

    std::optional<double> askAndWait(std::chrono::milliseconds limit);

    std::string playerPath_;
    std::string mediaPath_;
    std::uint64_t windowId_ = 0;
    bool playingFlag_ = false;
    bool soundOn_ = false;
    std::unique_ptr<Host> host_;
};

}  // namespace torvane
