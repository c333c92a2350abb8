#include "tools/mp4_boxes.h"

#include <algorithm>
#include <array>

namespace posttools {

namespace {

uint64_t readBig(const std::string& bytes, size_t at, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void putBig(std::string& out, uint64_t value, size_t width) {
    for (size_t i = width; i > 0; --i) out.push_back(static_cast<char>((value >> (8 * (i - 1))) & 0xff));
}

bool plausibleType(const std::string& type) {
    return std::all_of(type.begin(), type.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

bool isContainer(const std::string& type) {
    static const std::array<const char*, 5> kContainers = {"moov", "trak", "mdia", "minf", "stbl"};
    return std::any_of(kContainers.begin(), kContainers.end(), [&](const char* name) { return type == name; });
}

struct Header {
    std::string type;
    uint64_t size = 0;
    size_t length = 0;
};

// Reads a box header from the first bytes; size 0 means "to the end" and is resolved by the caller.
Header readHeader(const std::string& bytes) {
    if (bytes.size() < 8) throw Failure("a box header is cut short");
    Header header{bytes.substr(4, 4), readBig(bytes, 0, 4), 8};
    if (header.size == 1) {
        if (bytes.size() < 16) throw Failure("a box header is cut short");
        header.size = readBig(bytes, 8, 8);
        header.length = 16;
    }
    if (!plausibleType(header.type)) throw Failure("not an MP4 file (no box at the start)");
    return header;
}

void collectTables(Box& box, std::vector<Box*>& tables) {
    if (box.type == "stco" || box.type == "co64") tables.push_back(&box);
    for (auto& child : box.children) collectTables(*child, tables);
}

}  // namespace

std::vector<TopBox> readTopBoxes(const InputFile& file) {
    std::vector<TopBox> boxes;
    uint64_t offset = 0;
    while (offset < file.size()) {
        const uint64_t available = file.size() - offset;
        const Header header = readHeader(file.read(offset, std::min<uint64_t>(16, available)));
        uint64_t size = header.size == 0 ? available : header.size;
        if (size < header.length || size > available) {
            throw Failure("the box '" + header.type + "' runs past the end of the file or is malformed");
        }
        boxes.push_back({header.type, offset, size});
        offset += size;
    }
    if (boxes.empty()) throw Failure("the file is empty");
    static const std::array<const char*, 6> kFirst = {"ftyp", "moov", "mdat", "free", "skip", "wide"};
    if (std::none_of(kFirst.begin(), kFirst.end(), [&](const char* name) { return boxes.front().type == name; })) {
        throw Failure("not an MP4 file (it does not start with a known box)");
    }
    return boxes;
}

std::unique_ptr<Box> parseBox(const std::string& bytes) {
    const Header header = readHeader(bytes);
    if (header.size != bytes.size() && header.size != 0) throw Failure("the box '" + header.type + "' is malformed");
    auto box = std::make_unique<Box>();
    box->type = header.type;
    box->container = isContainer(header.type);
    if (!box->container) {
        box->payload = bytes.substr(header.length);
        return box;
    }
    size_t at = header.length;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) throw Failure("the box '" + header.type + "' ends inside a child box");
        const Header child = readHeader(bytes.substr(at, std::min<size_t>(16, bytes.size() - at)));
        const uint64_t size = child.size == 0 ? bytes.size() - at : child.size;
        if (size < child.length || size > bytes.size() - at) {
            throw Failure("the box '" + child.type + "' inside '" + header.type + "' is malformed");
        }
        box->children.push_back(parseBox(bytes.substr(at, size)));
        at += size;
    }
    return box;
}

uint64_t serializedSize(const Box& box) {
    uint64_t body = box.payload.size();
    for (const auto& child : box.children) body += serializedSize(*child);
    return body + (body + 8 > 0xffffffffu ? 16 : 8);
}

std::string serialize(const Box& box) {
    std::string out;
    const uint64_t size = serializedSize(box);
    if (size > 0xffffffffu) {
        putBig(out, 1, 4);
        out += box.type;
        putBig(out, size, 8);
    } else {
        putBig(out, size, 4);
        out += box.type;
    }
    out += box.payload;
    for (const auto& child : box.children) out += serialize(*child);
    return out;
}

std::vector<Box*> chunkOffsetBoxes(Box& root) {
    std::vector<Box*> tables;
    collectTables(root, tables);
    return tables;
}

std::vector<uint64_t> chunkOffsets(const Box& table) {
    const size_t width = table.type == "co64" ? 8 : 4;
    if (table.payload.size() < 8) throw Failure("the chunk offset table is cut short");
    const uint64_t count = readBig(table.payload, 4, 4);
    if (count > (table.payload.size() - 8) / width) throw Failure("the chunk offset table is cut short");
    std::vector<uint64_t> offsets(count);
    for (size_t i = 0; i < count; ++i) offsets[i] = readBig(table.payload, 8 + i * width, width);
    return offsets;
}

void setChunkOffsets(Box& table, const std::vector<uint64_t>& offsets) {
    const bool wide =
        table.type == "co64" || std::any_of(offsets.begin(), offsets.end(), [](uint64_t o) { return o > 0xffffffffu; });
    std::string payload = table.payload.substr(0, 4);  // version and flags
    putBig(payload, offsets.size(), 4);
    for (uint64_t offset : offsets) putBig(payload, offset, wide ? 8 : 4);
    table.type = wide ? "co64" : "stco";
    table.payload = std::move(payload);
}

}  // namespace posttools
