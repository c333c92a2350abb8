#include "tools/swf_reader.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace swf {

namespace {

constexpr size_t kFileHeaderBytes = 8;
constexpr size_t kLzmaPropsBytes = 5;
constexpr size_t kGrowBytes = 256 * 1024;

std::string tooLarge() {
    return "the uncompressed movie would be larger than " + std::to_string(kMaxBodyBytes >> 20) + " MiB";
}

std::string inflateZlib(std::string_view packed) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) throw Error("cannot start the zlib decoder");
    std::string out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    int status = Z_OK;
    while (status == Z_OK) {
        if (out.size() >= kMaxBodyBytes) {
            inflateEnd(&stream);
            throw Error(tooLarge());
        }
        const size_t before = out.size();
        out.resize(before + kGrowBytes);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + before);
        stream.avail_out = static_cast<uInt>(kGrowBytes);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(before + kGrowBytes - stream.avail_out);
        // Z_BUF_ERROR here means the input ran out before the stream's end.
        if (status == Z_BUF_ERROR) break;
    }
    const std::string reason = stream.msg != nullptr ? stream.msg : "";
    inflateEnd(&stream);
    if (status == Z_BUF_ERROR) throw Error("the zlib-compressed data is cut off");
    if (status != Z_STREAM_END) throw Error("corrupt zlib-compressed data" + (reason.empty() ? "" : ": " + reason));
    return out;
}

// SWF's LZMA has no size in its stream header, so the length from the file header says where to stop:
// the raw decoder would otherwise run on into the encoder's flush bytes.
std::string inflateLzma(std::string_view afterHeader, size_t wanted) {
    if (afterHeader.size() < 4 + kLzmaPropsBytes) throw Error("the LZMA header is cut off");
    const std::string_view props = afterHeader.substr(4, kLzmaPropsBytes);
    const std::string_view packed = afterHeader.substr(4 + kLzmaPropsBytes);

    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, reinterpret_cast<const uint8_t*>(props.data()), props.size()) !=
        LZMA_OK) {
        throw Error("invalid LZMA properties");
    }
    // liblzma allocates the whole dictionary up front; one larger than the output is never used,
    // and a forged size must not make the tool ask for gigabytes.
    auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
    options->dict_size =
        std::min<uint32_t>(options->dict_size, static_cast<uint32_t>(std::max<size_t>(wanted, LZMA_DICT_SIZE_MIN)));
    lzma_stream stream = LZMA_STREAM_INIT;
    const lzma_ret started = lzma_raw_decoder(&stream, filters);
    std::free(filters[0].options);
    if (started != LZMA_OK) throw Error("cannot start the LZMA decoder");

    std::string out;
    stream.next_in = reinterpret_cast<const uint8_t*>(packed.data());
    stream.avail_in = packed.size();
    lzma_ret status = LZMA_OK;
    while (out.size() < wanted) {
        const size_t before = out.size();
        const size_t room = std::min(kGrowBytes, wanted - before);
        out.resize(before + room);
        stream.next_out = reinterpret_cast<uint8_t*>(out.data() + before);
        stream.avail_out = room;
        status = lzma_code(&stream, LZMA_RUN);
        out.resize(before + room - stream.avail_out);
        if (status != LZMA_OK) break;
        // No input left and nothing more produced: the data ends early.
        if (stream.avail_in == 0 && out.size() == before) break;
    }
    lzma_end(&stream);
    if (status != LZMA_OK && status != LZMA_STREAM_END) throw Error("corrupt LZMA-compressed data");
    if (out.size() < wanted) {
        throw Error("the LZMA-compressed data ends after " + std::to_string(out.size() + kFileHeaderBytes) +
                    " bytes, the header says " + std::to_string(wanted + kFileHeaderBytes));
    }
    return out;
}

// Reads the header's RECT, bits most significant first.
class BitReader {
public:
    BitReader(std::string_view data, size_t at) : data_(data), bit_(at * 8) {}
    uint32_t unsignedBits(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            const size_t byte = bit_ / 8;
            if (byte >= data_.size()) throw Error("the movie header is cut off");
            const auto bit = static_cast<uint32_t>((static_cast<uint8_t>(data_[byte]) >> (7 - bit_ % 8)) & 1U);
            value = (value << 1) | bit;
            ++bit_;
        }
        return value;
    }
    int32_t signedBits(int count) {
        if (count == 0) return 0;
        const uint32_t raw = unsignedBits(count);
        const uint32_t sign = 1U << (count - 1);
        return static_cast<int32_t>(static_cast<int64_t>(raw ^ sign) - static_cast<int64_t>(sign));
    }
    size_t nextByte() const { return (bit_ + 7) / 8; }

private:
    std::string_view data_;
    size_t bit_;
};

}  // namespace

uint16_t readU16(std::string_view data, size_t at) {
    if (at > data.size() || data.size() - at < 2) throw Error("a field is cut off at byte " + std::to_string(at));
    return static_cast<uint16_t>(static_cast<uint8_t>(data[at]) | (static_cast<uint8_t>(data[at + 1]) << 8));
}

uint32_t readU32(std::string_view data, size_t at) {
    if (at > data.size() || data.size() - at < 4) throw Error("a field is cut off at byte " + std::to_string(at));
    return static_cast<uint32_t>(readU16(data, at)) | (static_cast<uint32_t>(readU16(data, at + 2)) << 16);
}

std::string readWholeFile(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) throw Error(path + " is a folder");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw Error("cannot open " + path + ": " + std::strerror(errno));
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) throw Error("cannot read " + path);
    return content.str();
}

std::vector<Tag> parseTags(std::string_view whole, size_t base, size_t* endOfList, size_t shownShift) {
    std::vector<Tag> tags;
    size_t at = base;
    while (at < whole.size()) {
        const size_t tagStart = at;
        if (whole.size() - at < 2)
            throw Error("a tag header is cut off at byte " + std::to_string(tagStart + shownShift));
        const uint16_t codeAndLength = readU16(whole, at);
        at += 2;
        Tag tag;
        tag.code = static_cast<uint16_t>(codeAndLength >> 6);
        tag.length = codeAndLength & 0x3fU;
        if (tag.length == 0x3f) {
            if (whole.size() - at < 4)
                throw Error("a tag header is cut off at byte " + std::to_string(tagStart + shownShift));
            tag.length = readU32(whole, at);
            at += 4;
        }
        if (tag.length > whole.size() - at) {
            throw Error("tag " + std::to_string(tag.code) + " at byte " + std::to_string(tagStart + shownShift) +
                        " claims " + std::to_string(tag.length) + " bytes, beyond the end of the data");
        }
        tag.offset = at;
        at += tag.length;
        if (tag.code == kEnd) break;
        tags.push_back(tag);
    }
    // A list that stops exactly at the end of the data without an End tag is taken as ended there.
    if (endOfList != nullptr) *endOfList = at;
    return tags;
}

Movie parseMovie(std::string_view file) {
    if (file.size() < kFileHeaderBytes) throw Error("not a SWF file: only " + std::to_string(file.size()) + " bytes");
    const std::string_view signature = file.substr(0, 3);
    Movie movie;
    if (signature == "FWS") {
        movie.compression = Compression::None;
    } else if (signature == "CWS") {
        movie.compression = Compression::Zlib;
    } else if (signature == "ZWS") {
        movie.compression = Compression::Lzma;
    } else {
        throw Error("not a SWF file (no FWS, CWS or ZWS signature)");
    }
    movie.version = static_cast<uint8_t>(file[3]);
    movie.declaredLength = readU32(file, 4);

    const std::string_view rest = file.substr(kFileHeaderBytes);
    switch (movie.compression) {
        case Compression::None:
            if (rest.size() > kMaxBodyBytes) throw Error(tooLarge());
            movie.body.assign(rest);
            break;
        case Compression::Zlib:
            movie.body = inflateZlib(rest);
            break;
        case Compression::Lzma:
            if (movie.declaredLength < kFileHeaderBytes) {
                throw Error("the header's file length " + std::to_string(movie.declaredLength) +
                            " is shorter than the header itself");
            }
            if (movie.declaredLength - kFileHeaderBytes > kMaxBodyBytes) throw Error(tooLarge());
            movie.body = inflateLzma(rest, movie.declaredLength - kFileHeaderBytes);
            break;
    }

    BitReader bits(movie.body, 0);
    const int rectBits = static_cast<int>(bits.unsignedBits(5));
    movie.xMinTwips = bits.signedBits(rectBits);
    movie.xMaxTwips = bits.signedBits(rectBits);
    movie.yMinTwips = bits.signedBits(rectBits);
    movie.yMaxTwips = bits.signedBits(rectBits);
    const size_t afterRect = bits.nextByte();
    if (movie.body.size() < afterRect + 4) throw Error("the movie header is cut off");
    movie.frameRate8_8 = readU16(movie.body, afterRect);
    movie.frameCount = readU16(movie.body, afterRect + 2);

    size_t end = 0;
    // Offsets in messages count from the start of the uncompressed file, as a hex viewer shows them.
    movie.tags = parseTags(movie.body, afterRect + 4, &end, kFileHeaderBytes);
    // Bytes after the End tag are not part of the movie.
    movie.body.resize(end);
    return movie;
}

std::string uncompressedFile(const Movie& movie) {
    const uint64_t length = kFileHeaderBytes + movie.body.size();
    if (length > UINT32_MAX) throw Error(tooLarge());
    std::string out = "FWS";
    out += static_cast<char>(movie.version);
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((length >> shift) & 0xffU);
    out += movie.body;
    return out;
}

}  // namespace swf
