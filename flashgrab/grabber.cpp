#include "flashgrab/grabber.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "flashgrab/command_line.h"
#include "flashgrab/frame_loop.h"
#include "flashgrab/frame_pipe.h"

namespace flashgrab {

int runGrabber(const Options& options) {
    if (options.moviePath.empty() || options.width.empty() || options.height.empty()) return 0;
    auto size = frameSizeOf(options);
    if (!size) {
        std::fprintf(stderr, "flashgrab: unusable frame size %s x %s\n", options.width.c_str(), options.height.c_str());
        return 1;
    }
    std::string error;
    auto folder = pipeFolder(std::getenv("XDG_RUNTIME_DIR"), "/tmp", error);
    if (!folder) {
        std::fprintf(stderr, "flashgrab: %s\n", error.c_str());
        return 1;
    }
    auto path = pipePath(*folder, options.pipeId);
    if (!path) {
        std::fprintf(stderr, "flashgrab: unusable pipe id %s\n", options.pipeId.c_str());
        return 1;
    }
    // A write to a reader that has gone must fail with EPIPE rather than kill us.
    signal(SIGPIPE, SIG_IGN);

    // An unreadable movie still gets its FIFO: the reader then sees an empty stream instead of waiting.
    auto movie = loadMovie(options.moviePath);
    if (!movie) std::fprintf(stderr, "flashgrab: cannot read the movie %s\n", options.moviePath.c_str());

    FramePipe pipe;
    if (!pipe.create(*path, error)) {
        std::fprintf(stderr, "flashgrab: %s\n", error.c_str());
        return 1;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    if (!pipe.open(error)) {
        std::fprintf(stderr, "flashgrab: %s\n", error.c_str());
        return 1;
    }
    if (!movie) return 1;
    const int frames = playFrames(
        *movie, *size, options.quality, {options.firstFrame, options.lastFrame},
        [&pipe](const std::uint8_t* data, std::size_t bytes) { return pipe.write(data, bytes); },
        options.trace ? stderr : nullptr);
    // The converter compares this with the frames the movie has.
    std::printf("frames %d\n", frames);
    std::fflush(stdout);
    return 0;
}

}  // namespace flashgrab
