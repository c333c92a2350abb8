#include "flashgrab/frame_loop.h"

#include <vector>

#include "flashgrab/display_list.h"
#include "flashgrab/renderer.h"

namespace flashgrab {

int playFrames(const Movie& movie, FrameSize size, Quality quality, const FrameSink& sink, std::FILE* trace) {
    if (movie.frameCount() < 1) return 0;
    Renderer renderer(movie, size.width, size.height, quality == Quality::High);
    if (!renderer.ok()) return 0;
    Player player(movie);
    player.setTraceOutput(trace);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3);
    int written = 0;
    for (int n = 1; n <= movie.frameCount(); ++n) {
        player.advance();
        renderer.render(player.root());
        renderer.writeBgr(frame.data());
        if (!sink(frame.data(), frame.size())) break;
        ++written;
    }
    return written;
}

}  // namespace flashgrab
