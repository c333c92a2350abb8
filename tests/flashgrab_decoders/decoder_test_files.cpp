#include "decoder_test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <zlib.h>

extern "C" {
#include <libavutil/log.h>
}

namespace flashgrab::test {

namespace {

// libavcodec reports every damaged packet on stderr; the robustness tests feed it hundreds.
const int quietLibav = [] {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}();

std::size_t le(const Bytes& d, std::size_t at, int bytes) {
    std::size_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | d[at + i];
    return value;
}

void appendLe(Bytes& out, std::size_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

void readTags(const Bytes& d, std::size_t pos, std::size_t end, std::vector<SwfTag>& tags) {
    while (pos + 2 <= end) {
        const std::size_t header = le(d, pos, 2);
        std::size_t length = header & 63;
        pos += 2;
        if (length == 63 && pos + 4 <= end) {
            length = le(d, pos, 4);
            pos += 4;
        }
        if (pos + length > end) return;
        const int code = static_cast<int>(header >> 6);
        tags.push_back({code, Bytes(d.begin() + pos, d.begin() + pos + length)});
        if (code == 39) readTags(d, pos + 4, pos + length, tags);  // DefineSprite
        if (code == 0) return;
        pos += length;
    }
}

}  // namespace

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

torvane::test::ProgramResult ffmpeg(const std::string& arguments) {
    std::vector<std::string> argv = {"ffmpeg", "-v", "error"};
    std::istringstream words(arguments);
    for (std::string word; words >> word;) argv.push_back(word);
    return torvane::test::runProgram(argv);
}

std::vector<SwfTag> readSwfTags(const std::string& path) {
    Bytes movie = readBytes(path);
    std::vector<SwfTag> tags;
    if (movie.size() < 9) return tags;
    if (movie[0] == 'C') {
        Bytes inflated(le(movie, 4, 4));
        uLongf size = static_cast<uLongf>(inflated.size() - 8);
        uncompress(inflated.data() + 8, &size, movie.data() + 8, static_cast<uLong>(movie.size() - 8));
        std::copy_n(movie.begin(), 8, inflated.begin());
        movie = std::move(inflated);
    }
    const std::size_t rectBits = 5 + 4 * static_cast<std::size_t>(movie[8] >> 3);
    readTags(movie, 8 + (rectBits + 7) / 8 + 4, movie.size(), tags);
    return tags;
}

Bytes writeSwf(const std::vector<SwfTag>& tags, int width, int height, int frameCount) {
    // The stage RECT: 5 bits saying 16-bit fields, then 0, width, 0, height in twips.
    const std::uint64_t fields = (std::uint64_t(width) * 20 << 32) | (std::uint64_t(height) * 20);
    const std::uint64_t rect = (std::uint64_t{16} << 59) | (fields >> 5);
    Bytes body;
    for (int i = 7; i >= 0; --i) body.push_back(std::uint8_t(rect >> (8 * i)));
    body.push_back(std::uint8_t(fields << 3));
    appendLe(body, 25 << 8, 2);
    appendLe(body, frameCount, 2);
    for (const SwfTag& tag : tags) {
        appendLe(body, (tag.code << 6) | 63, 2);
        appendLe(body, tag.body.size(), 4);
        body.insert(body.end(), tag.body.begin(), tag.body.end());
    }
    appendLe(body, 0, 2);
    Bytes file = {'F', 'W', 'S', 8};
    appendLe(file, 8 + body.size(), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<Bytes> readFlvVideoPackets(const Bytes& flv) {
    std::vector<Bytes> packets;
    for (std::size_t pos = 13; pos + 11 <= flv.size();) {  // after the header and the first tag size
        const std::size_t size = (std::size_t{flv[pos + 1]} << 16) | (std::size_t{flv[pos + 2]} << 8) | flv[pos + 3];
        if (pos + 11 + size > flv.size()) break;
        if (flv[pos] == 9 && size > 1) packets.emplace_back(flv.begin() + pos + 12, flv.begin() + pos + 11 + size);
        pos += 11 + size + 4;
    }
    return packets;
}

Bytes zlibCompress(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

void splitJpegTables(const Bytes& jpeg, Bytes& tables, Bytes& image) {
    tables = image = {0xFF, 0xD8};
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos + 1] != 0xDA) {  // the segments before the first scan
        const std::size_t end = pos + 2 + ((std::size_t{jpeg[pos + 2]} << 8) | jpeg[pos + 3]);
        Bytes& part = jpeg[pos + 1] == 0xDB || jpeg[pos + 1] == 0xC4 ? tables : image;
        part.insert(part.end(), jpeg.begin() + pos, jpeg.begin() + end);
        pos = end;
    }
    image.insert(image.end(), jpeg.begin() + pos, jpeg.end());
    tables.insert(tables.end(), {0xFF, 0xD9});
}

Bytes testPictureRgb(int width, int height) {
    Bytes rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool block = x >= width / 2 && y >= height / 2;
            rgb.push_back(static_cast<std::uint8_t>(block ? 30 : 40 + x * 160 / width));
            rgb.push_back(static_cast<std::uint8_t>(block ? 200 : 60 + y * 150 / height));
            rgb.push_back(static_cast<std::uint8_t>(block ? 60 : 180 - (x + y) * 100 / (width + height)));
        }
    }
    return rgb;
}

int maxDifference(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return 256;
    int worst = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        for (int c = 0; c < 4; ++c)
            worst = std::max(
                worst, std::abs(static_cast<int>(channel(a.pixels[i], c)) - static_cast<int>(channel(b.pixels[i], c))));
    return worst;
}

Image opaqueImage(int width, int height, const Bytes& rgb) {
    Image image{width, height, {}};
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        image.pixels.push_back(0xFF000000u | (std::uint32_t{rgb[i]} << 16) | (std::uint32_t{rgb[i + 1]} << 8) |
                               rgb[i + 2]);
    return image;
}

Image imageFromBgra(const std::string& bgra, std::size_t offset, int rowWidth, int width, int height) {
    Image image{width, height, {}};
    if (bgra.size() < offset + std::size_t(rowWidth) * height * 4) return image;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto* p =
                reinterpret_cast<const std::uint8_t*>(bgra.data()) + offset + (std::size_t(y) * rowWidth + x) * 4;
            image.pixels.push_back((std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                                   (std::uint32_t{p[1]} << 8) | p[0]);
        }
    }
    return image;
}

}  // namespace flashgrab::test
