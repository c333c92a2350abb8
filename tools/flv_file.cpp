#include "tools/flv_file.h"

#include <algorithm>

#include "tools/amf0.h"

namespace posttools {

namespace {

uint32_t readBig(const std::string& bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

}  // namespace

std::string bigEndian32(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>((value >> 16) & 0xff),
            static_cast<char>((value >> 8) & 0xff), static_cast<char>(value & 0xff)};
}

std::string tagHeader(uint8_t type, uint32_t dataSize, uint32_t timestamp) {
    std::string header(1, static_cast<char>(type));
    header += bigEndian32(dataSize).substr(1);
    header += bigEndian32(timestamp & 0xffffff).substr(1);
    header.push_back(static_cast<char>(timestamp >> 24));
    header.append(3, '\0');
    return header;
}

FlvLayout readFlv(const InputFile& file) {
    if (file.size() < 13) throw Failure("not an FLV file (too short)");
    FlvLayout layout;
    const std::string start = file.read(0, 9);
    if (start.compare(0, 3, "FLV") != 0 || start[3] != 1) throw Failure("not an FLV file (no FLV header)");
    const uint32_t headerSize = readBig(start, 5, 4);
    if (headerSize < 9 || headerSize > file.size() - 4) throw Failure("not an FLV file (bad header size)");
    layout.header = file.read(0, headerSize);
    uint64_t at = headerSize + 4;  // past the first previous-tag-size, which is always 0
    while (at < file.size()) {
        if (file.size() - at < 11) throw Failure("the last tag is cut short at byte " + std::to_string(at));
        const std::string header = file.read(at, 11);
        FlvTag tag;
        tag.type = static_cast<uint8_t>(header[0] & 0x1f);  // the top bits mark filtered (encrypted) tags
        tag.offset = at;
        tag.dataSize = readBig(header, 1, 3);
        tag.timestamp = readBig(header, 4, 3) | (readBig(header, 7, 1) << 24);
        if (tag.type != 8 && tag.type != 9 && tag.type != 18) {
            throw Failure("unknown tag type " + std::to_string(tag.type) + " at byte " + std::to_string(at));
        }
        // A tag whose data does not fit is a damaged or unfinished file; the size after the last
        // tag may be missing without loss.
        if (file.size() - at < tag.totalSize()) {
            throw Failure("the tag at byte " + std::to_string(at) + " is cut short");
        }
        tag.head = file.read(at + 11, std::min<uint32_t>(tag.dataSize, 16));
        if (header[0] & 0x20) tag.head.clear();  // filtered data cannot be looked into
        layout.tags.push_back(std::move(tag));
        at += layout.tags.back().totalSize() + 4;
    }
    return layout;
}

bool isMetadataTag(const InputFile& file, const FlvTag& tag) {
    if (tag.type != 18 || tag.dataSize < 13) return false;
    const std::string start = file.read(tag.offset + 11, 13);
    return start[0] == 2 && start.compare(1, 12, std::string("\0\x0aonMetaData", 12)) == 0;
}

}  // namespace posttools
