#include "flashgrab/frame_loop.h"

#include <algorithm>
#include <vector>

#include "flashgrab/display_list.h"
#include "flashgrab/renderer.h"

namespace flashgrab {

int playFrames(const Movie& movie, FrameSize size, Quality quality, FrameSpan span, const FrameSink& sink,
               std::FILE* trace) {
    if (movie.frameCount() < 1) return 0;
    Renderer renderer(movie, size.width, size.height, quality == Quality::High);
    if (!renderer.ok()) return 0;
    Player player(movie);
    player.setTraceOutput(trace);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3);
    int written = 0;
    const int last = span.last > 0 ? std::min(span.last, movie.frameCount()) : movie.frameCount();
    for (int n = 1; n <= last; ++n) {
        player.advance();
        if (n < span.first) continue;
        renderer.render(player.root());
        renderer.writeBgr(frame.data());
        if (!sink(frame.data(), frame.size())) break;
        ++written;
    }
    return written;
}

}  // namespace flashgrab
