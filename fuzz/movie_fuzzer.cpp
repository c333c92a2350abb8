// libFuzzer harness for flashgrab's movie reader, timelines and renderer: the input is an SWF
// file (any signature); it is read, and its first frames are drawn at a small size with and
// without anti-aliasing. Nothing may crash, hang or read out of bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "flashgrab/command_line.h"
#include "flashgrab/frame_loop.h"
#include "flashgrab/movie.h"
#include "flashgrab/swf_file.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Enough frames for sprites to loop and morphs to move, few enough to keep each run short.
constexpr int kFramesDrawn = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    av_log_set_level(AV_LOG_QUIET);
    auto file = flashgrab::parseSwf(std::span<const std::uint8_t>(data, size));
    if (!file) return 0;
    const auto movie = flashgrab::buildMovie(std::move(*file));
    if (!movie) return 0;
    for (const flashgrab::Quality quality : {flashgrab::Quality::High, flashgrab::Quality::Low}) {
        int frames = 0;
        flashgrab::playFrames(*movie, flashgrab::FrameSize{64, 48}, quality, {},
                              [&frames](const std::uint8_t* bgr, std::size_t bytes) {
                                  // Every frame must be exactly the size asked for.
                                  if (bgr == nullptr || bytes != 64u * 48u * 3u) __builtin_trap();
                                  return ++frames < kFramesDrawn;
                              });
    }
    return 0;
}
