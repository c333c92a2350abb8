// libFuzzer harness for flashgrab's bitmap and video decoders.
//
// Input: one byte choosing the decoder, then its data.
//   bitmap tags: DefineBits takes a 16-bit little-endian JPEGTables length, the tables, then the
//   tag body; the other tags take the tag body (the data after the character id).
//   video codecs: frames of one 64 x 48 stream, each a 16-bit little-endian length and the frame.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>

#include "flashgrab/bitmap_decode.h"
#include "flashgrab/video_decode.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

constexpr int kBitmapTags[] = {6, 21, 35, 90, 20, 36};
constexpr int kVideoCodecs[] = {2, 3, 4, 5, 6};
constexpr std::size_t kTargets = std::size(kBitmapTags) + std::size(kVideoCodecs);

std::size_t readLength(std::span<const std::uint8_t> data) {
    return data[0] | (std::size_t{data[1]} << 8);
}

void checkImage(const std::optional<flashgrab::Image>& image) {
    // A picture must hold exactly its pixels; anything else is a decoder fault.
    if (image && (image->width <= 0 || image->height <= 0 ||
                  image->pixels.size() != static_cast<std::size_t>(image->width) * image->height))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
    if (size < 1) return 0;
    const std::size_t target = bytes[0] % kTargets;
    std::span<const std::uint8_t> data(bytes + 1, size - 1);

    if (target < std::size(kBitmapTags)) {
        const int tag = kBitmapTags[target];
        std::span<const std::uint8_t> tables;
        if (tag == 6) {
            if (data.size() < 2) return 0;
            const std::size_t length = std::min(readLength(data), data.size() - 2);
            tables = data.subspan(2, length);
            data = data.subspan(2 + length);
        }
        checkImage(flashgrab::decodeBitmapTag(tag, data, tables));
        return 0;
    }

    flashgrab::VideoStreamDecoder decoder(kVideoCodecs[target - std::size(kBitmapTags)], 64, 48);
    while (data.size() >= 2) {
        const std::size_t length = std::min(readLength(data), data.size() - 2);
        const auto image = decoder.decode(data.subspan(2, length));
        checkImage(image);
        if (image && (image->width != 64 || image->height != 48)) __builtin_trap();
        data = data.subspan(2 + length);
    }
    return 0;
}
