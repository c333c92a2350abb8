#include "flashgrab/swf_file.h"

#include <lzma.h>
#include <zlib.h>

#include <sys/stat.h>
#include <algorithm>

#include <cstdio>

namespace flashgrab {
namespace {

// Inflates as much as decodes; a damaged or truncated stream keeps what came before the damage.
std::vector<std::uint8_t> inflateAll(std::span<const std::uint8_t> in, std::size_t expected) {
    std::vector<std::uint8_t> out;
    out.reserve(std::min<std::size_t>(expected, 64u << 20));
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return out;
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), 0xFFFFFFFFu));
    std::uint8_t chunk[65536];
    for (;;) {
        zs.next_out = chunk;
        zs.avail_out = sizeof chunk;
        int rc = inflate(&zs, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - zs.avail_out));
        if (rc != Z_OK || out.size() > kMaxMovieBytes) break;
        if (zs.avail_in == 0 && zs.avail_out != 0) break;
    }
    inflateEnd(&zs);
    if (out.size() > kMaxMovieBytes) out.resize(kMaxMovieBytes);
    return out;
}

// SWF's LZMA layout: 4 bytes compressed length, 5 bytes properties, then the raw stream. liblzma's
// "alone" decoder wants properties followed by the 8-byte uncompressed size, so we rebuild that header.
std::vector<std::uint8_t> unLzma(std::span<const std::uint8_t> in, std::size_t expected) {
    std::vector<std::uint8_t> out;
    if (in.size() < 9) return out;
    std::vector<std::uint8_t> header(in.begin() + 4, in.begin() + 9);
    // The dictionary never needs to be larger than the movie it unpacks: a forged size would
    // otherwise have liblzma allocate gigabytes before reading a byte.
    std::uint64_t dictionary = 0;
    for (int i = 0; i < 4; ++i) dictionary |= std::uint64_t{header[1 + i]} << (8 * i);
    const std::uint64_t needed = std::max<std::uint64_t>(std::min<std::uint64_t>(expected, kMaxMovieBytes), 4096);
    if (dictionary > needed) {
        for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<std::uint8_t>(needed >> (8 * i));
    }
    std::uint64_t size = expected;
    for (int i = 0; i < 8; ++i) header.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&ls, kMaxMovieBytes + (64u << 20)) != LZMA_OK) return out;
    out.reserve(std::min<std::size_t>(expected, 64u << 20));
    std::uint8_t chunk[65536];
    auto run = [&](const std::uint8_t* data, std::size_t count, lzma_action action) {
        ls.next_in = data;
        ls.avail_in = count;
        for (;;) {
            ls.next_out = chunk;
            ls.avail_out = sizeof chunk;
            lzma_ret rc = lzma_code(&ls, action);
            out.insert(out.end(), chunk, chunk + (sizeof chunk - ls.avail_out));
            if (rc != LZMA_OK || out.size() > kMaxMovieBytes) return false;
            if (ls.avail_in == 0 && ls.avail_out != 0) return true;
        }
    };
    if (run(header.data(), header.size(), LZMA_RUN)) run(in.data() + 9, in.size() - 9, LZMA_FINISH);
    lzma_end(&ls);
    if (out.size() > kMaxMovieBytes) out.resize(kMaxMovieBytes);
    return out;
}

}  // namespace

std::vector<Tag> splitTags(std::span<const std::uint8_t> data) {
    std::vector<Tag> tags;
    BitReader in(data);
    while (in.remaining() >= 2) {
        std::uint16_t codeAndLength = in.u16();
        int code = codeAndLength >> 6;
        std::size_t length = codeAndLength & 0x3F;
        if (length == 0x3F) {
            if (in.remaining() < 4) break;
            length = in.u32();
        }
        length = std::min(length, in.remaining());
        Tag tag{code, in.bytes(length)};
        if (code == 0) break;
        tags.push_back(tag);
    }
    return tags;
}

std::optional<SwfFile> parseSwf(std::span<const std::uint8_t> file) {
    if (file.size() < 8) return std::nullopt;
    char kind = static_cast<char>(file[0]);
    if (file[1] != 'W' || file[2] != 'S' || (kind != 'F' && kind != 'C' && kind != 'Z')) return std::nullopt;
    SwfFile swf;
    swf.version = file[3];
    std::size_t declared = file[4] | (file[5] << 8) | (file[6] << 16) | (static_cast<std::size_t>(file[7]) << 24);
    std::size_t expected = declared > 8 ? declared - 8 : 0;
    auto rest = file.subspan(8);
    if (kind == 'F')
        swf.body.assign(rest.begin(), rest.end());
    else if (kind == 'C')
        swf.body = inflateAll(rest, expected);
    else
        swf.body = unLzma(rest, expected);

    BitReader in(swf.body);
    swf.stage = readRect(in);
    swf.frameRate = in.u16() / 256.0;
    swf.frameCount = in.u16();
    if (!in.ok()) return std::nullopt;
    swf.tags = splitTags(std::span(swf.body).subspan(in.position()));
    return swf;
}

std::optional<SwfFile> loadSwf(const std::string& path) {
    // Only a regular file: a folder or a device would fail or never end.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= kMaxMovieBytes)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return parseSwf(bytes);
}

}  // namespace flashgrab
