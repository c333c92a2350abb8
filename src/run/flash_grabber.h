#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace torvane {

// flashgrab, rendering one Flash movie into its frame pipe while ffmpeg reads it. It is started
// before the encoder; start returns once flashgrab has made the pipe (it says "ready"), so the
// encoder never opens a pipe that is not there yet. Ending the grabber ends flashgrab, which
// may otherwise wait for a reader forever when the encoder died before opening the pipe.
class FlashGrabber {
public:
    // nullptr, with *error set, when flashgrab cannot be started or never makes its pipe. Frames
    // firstFrame to lastFrame (from 1; lastFrame 0 is the movie's last) are sent.
    static std::unique_ptr<FlashGrabber> start(const std::string& flashgrabPath, const std::string& moviePath,
                                               const std::string& pipeId, const std::string& width,
                                               const std::string& height, long firstFrame, long lastFrame,
                                               std::string* error);
    ~FlashGrabber();

    // How flashgrab ended: its exit status (128 + N for signal N, -1 when it had to be ended)
    // and the frames it says it sent (-1 when it did not say).
    struct Ending {
        int status = -1;
        long frames = -1;
    };
    // Waits at most `limit` for flashgrab to end on its own (its reader has gone), then ends it.
    Ending finish(std::chrono::milliseconds limit);
    // flashgrab's exit status once it has ended, without waiting; nullopt while it runs. A
    // flashgrab that died before the encoder opened its pipe leaves the encoder waiting for a
    // writer forever: the run asks this to notice.
    std::optional<int> endedStatus();
    // Why an ending with this status fails its item; empty for 0.
    static std::string failureText(int status);
    FlashGrabber(const FlashGrabber&) = delete;
    FlashGrabber& operator=(const FlashGrabber&) = delete;

private:
    FlashGrabber(pid_t pid, int stdoutFd) : pid_(pid), stdoutFd_(stdoutFd) {}

    pid_t pid_;
    int stdoutFd_;
    bool ended_ = false;
    std::optional<int> status_;
};

}  // namespace torvane
