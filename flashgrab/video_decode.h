#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "flashgrab/image.h"

namespace flashgrab {

// How a movie shows its video beyond decoding it. The defaults give the pictures as libavcodec decodes them.
struct VideoDisplay {
    int deblocking = 1;  // the stream's setting: 0 as each picture says, 1 off, 2..5 levels 1..4
    // Flash takes the colour of VP6 with alpha as already multiplied by the alpha.
    bool premultipliedAlpha = false;
};

// Decodes the frames of one DefineVideoStream. codecId is the stream's codec (2 Sorenson H.263,
// 3 screen video, 4 VP6, 5 VP6 with alpha, 6 screen video 2); width and height its size, which
// every decoded frame is scaled to. Frames must be fed in order: later frames build on earlier ones.
class VideoStreamDecoder {
public:
    VideoStreamDecoder(int codecId, int width, int height, VideoDisplay display = {});
    ~VideoStreamDecoder();
    VideoStreamDecoder(VideoStreamDecoder&&) noexcept;
    VideoStreamDecoder& operator=(VideoStreamDecoder&&) noexcept;

    // frameData is the VideoFrame tag data after StreamID and FrameNum. Returns nullopt for an
    // undecodable or empty frame, an unknown codec or a stream without a usable size.
    std::optional<Image> decode(std::span<const std::uint8_t> frameData);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace flashgrab
