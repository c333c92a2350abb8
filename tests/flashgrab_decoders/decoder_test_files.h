#pragma once

// Inputs for flashgrab's decoder tests: tags of real SWF and FLV files, movies written back for
// ffmpeg to read, pictures encoded here, and picture comparisons.

#include <cstdint>
#include <string>
#include <vector>

#include "flashgrab/image.h"
#include "support/test_support.h"

namespace flashgrab::test {

using Bytes = std::vector<std::uint8_t>;

struct SwfTag {
    int code = 0;
    Bytes body;
};

enum TagCodes {
    kShowFrame = 1,
    kDefineBits = 6,
    kJpegTables = 8,
    kLossless = 20,
    kJpeg2 = 21,
    kJpeg3 = 35,
    kLossless2 = 36,
    kVideoStream = 60,
    kVideoFrame = 61,
    kJpeg4 = 90,
};

Bytes readBytes(const std::string& path);
// Runs ffmpeg -v error with the space-separated arguments (paths without spaces).
torvane::test::ProgramResult ffmpeg(const std::string& arguments);
// Every tag of an FWS or CWS movie, the tags of each DefineSprite right after it.
std::vector<SwfTag> readSwfTags(const std::string& path);
// An uncompressed movie holding the tags and an End tag.
Bytes writeSwf(const std::vector<SwfTag>& tags, int width, int height, int frameCount);
// The video packets of an FLV file: each video tag's data after its codec byte.
std::vector<Bytes> readFlvVideoPackets(const Bytes& flv);

Bytes zlibCompress(const Bytes& data);
// Splits a JPEG into a tables-only stream (DQT, DHT) and the rest, as JPEGTables and DefineBits hold them.
void splitJpegTables(const Bytes& jpeg, Bytes& tables, Bytes& image);
// Smooth gradients with one hard-edged block, as RGB samples.
Bytes testPictureRgb(int width, int height);

inline std::uint32_t channel(std::uint32_t pixel, int index) {
    return (pixel >> (24 - 8 * index)) & 0xFF;
}  // A R G B
// The largest difference of one channel; 256 when the sizes differ.
int maxDifference(const Image& a, const Image& b);
Image opaqueImage(int width, int height, const Bytes& rgb);
// ffmpeg's rawvideo bgra output, cropped to width x height from rowWidth-wide pictures.
Image imageFromBgra(const std::string& bgra, std::size_t offset, int rowWidth, int width, int height);

}  // namespace flashgrab::test
