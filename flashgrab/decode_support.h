#pragma once

// Helpers shared by flashgrab's bitmap and video decoders; not part of their interface.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "flashgrab/image.h"

struct AVFrame;
struct SwsContext;

namespace flashgrab::detail {

// Pictures are refused past this size on a side, which also caps one at 64 M pixels (256 MB).
inline constexpr int kMaxImageSide = 8192;

inline bool acceptableSize(long long width, long long height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}

inline std::uint32_t packArgb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

inline std::uint32_t premultiplyChannel(std::uint32_t channel, std::uint32_t alpha) {
    return (channel * alpha + 127) / 255;
}

// Premultiplies straight-alpha ARGB32 values in place.
void premultiply(std::vector<std::uint32_t>& pixels);

// Inflates zlib data, stopping once maxSize bytes are out (a stream that would inflate beyond the
// picture is not followed further). Returns what inflated before the end, an error or the limit.
std::vector<std::uint8_t> inflateLimited(std::span<const std::uint8_t> data, std::size_t maxSize);

// How a frame's colour relates to its alpha.
enum class AlphaKind { Straight, Premultiplied };

struct AvLibrary;

// Converts a decoded libavcodec frame to premultiplied ARGB32 of width x height, scaling it when
// its size differs. cache keeps the scaler between calls (free it with av.freeScaler).
std::optional<Image> frameToImage(const AvLibrary& av, const AVFrame& frame, int width, int height, SwsContext** cache,
                                  AlphaKind alpha = AlphaKind::Straight);

// Decodes a PNG or GIF picture (DefineBitsJPEG2/3/4 may carry these instead of JPEG).
std::optional<Image> decodePngOrGif(std::span<const std::uint8_t> data);
bool isPng(std::span<const std::uint8_t> data);
bool isGif(std::span<const std::uint8_t> data);

// Decodes JPEG data, taking the quantisation and Huffman tables from tables where the data has
// none (DefineBits with JPEGTables). The picture is opaque.
std::optional<Image> decodeJpeg(std::span<const std::uint8_t> tables, std::span<const std::uint8_t> data);

// Joins tables and data into one well-formed JPEG stream: one start marker, every marker segment
// of both, the scans of data and one end marker, dropping the stray end/start markers that SWF
// writers leave between and in front of the parts.
std::vector<std::uint8_t> joinJpegStream(std::span<const std::uint8_t> tables, std::span<const std::uint8_t> data);

}  // namespace flashgrab::detail
