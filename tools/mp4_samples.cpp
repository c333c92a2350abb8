#include "tools/mp4_samples.h"

#include <algorithm>

namespace posttools {

namespace {

uint64_t readU64(const std::string& bytes, size_t at) {
    return (uint64_t{readU32(bytes, at)} << 32) | readU32(bytes, at + 4);
}

const std::string& tablePayload(const Box& table, const char* type) {
    const Box* box = childBox(table, type);
    if (!box) throw Failure(std::string("the track has no ") + type + " table");
    return box->payload;
}

// A table's entry count, checked against the bytes it has.
uint32_t entryCount(const std::string& payload, size_t headerSize, size_t entrySize) {
    if (payload.size() < headerSize) throw Failure("a sample table is cut short");
    const uint32_t count = readU32(payload, headerSize - 4);
    if (count > (payload.size() - headerSize) / entrySize) throw Failure("a sample table is cut short");
    return count;
}

// ES descriptor sizes are written in 7-bit groups.
size_t descriptorLength(const std::string& bytes, size_t& at) {
    size_t length = 0;
    for (int i = 0; i < 4 && at < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        length = (length << 7) | (byte & 0x7f);
        if (!(byte & 0x80)) break;
    }
    return length;
}

// The object type of an esds box's decoder configuration, 0 when it cannot be found; the
// decoder specific information goes to config when asked for.
unsigned objectType(const std::string& esds, std::string* config = nullptr) {
    size_t at = 4;
    if (at >= esds.size() || esds[at++] != 3) return 0;
    descriptorLength(esds, at);
    if (at + 3 > esds.size()) return 0;
    const auto flags = static_cast<unsigned char>(esds[at + 2]);
    at += 3;
    if (flags & 0x80) at += 2;
    if ((flags & 0x40) && at < esds.size()) at += 1 + static_cast<unsigned char>(esds[at]);
    if (flags & 0x20) at += 2;
    if (at >= esds.size() || esds[at++] != 4) return 0;
    descriptorLength(esds, at);
    if (at >= esds.size()) return 0;
    const auto object = static_cast<unsigned char>(esds[at]);
    at += 13;  // object type, stream type, buffer size and bit rates
    if (config && at < esds.size() && esds[at] == 5) {
        ++at;
        const size_t length = descriptorLength(esds, at);
        if (at <= esds.size() && length <= esds.size() - at) *config = esds.substr(at, length);
    }
    return object;
}

// The parameter sets of an avcC record: the sequence sets, then the picture sets.
std::vector<std::string> parameterSets(const std::string& config) {
    std::vector<std::string> sets;
    size_t at = 5;
    for (int kind = 0; kind < 2 && at < config.size(); ++kind) {
        const unsigned count = static_cast<unsigned char>(config[at++]) & (kind == 0 ? 0x1fu : 0xffu);
        for (unsigned i = 0; i < count && at + 2 <= config.size(); ++i) {
            const size_t length = (static_cast<size_t>(static_cast<unsigned char>(config[at])) << 8) |
                                  static_cast<unsigned char>(config[at + 1]);
            if (length > config.size() - at - 2) return sets;
            sets.push_back(config.substr(at + 2, length));
            at += 2 + length;
        }
    }
    return sets;
}

// The child boxes of a sample entry, found after its fixed fields.
std::string findInEntry(const std::string& entry, size_t fixed, const char* type) {
    for (size_t at = 8 + fixed; at + 8 <= entry.size();) {
        const uint32_t size = readU32(entry, at);
        if (size < 8 || size > entry.size() - at) break;
        if (entry.compare(at + 4, 4, type) == 0) return entry.substr(at + 8, size - 8);
        at += size;
    }
    return {};
}

void readCodec(const std::string& stsd, TrackInfo& info) {
    if (stsd.size() < 16) return;
    const uint32_t size = readU32(stsd, 8);
    if (size < 8 || size > stsd.size() - 8) return;
    const std::string entry = stsd.substr(8, size);
    const std::string type = entry.substr(4, 4);
    if (type == "avc1" || type == "avc3") {
        const std::string config = findInEntry(entry, 78, "avcC");
        if (config.size() < 5) return;
        info.nalLengthSize = (static_cast<unsigned char>(config[4]) & 3u) + 1;
        info.parameterSets = parameterSets(config);
        info.codec = Codec::H264;
    } else if (type == "mp4v") {
        // The same entry also carries other video (JPEG, MPEG-2); only MPEG-4 visual is packetized.
        if (objectType(findInEntry(entry, 78, "esds"), &info.decoderConfig) == 0x20) info.codec = Codec::Mpeg4Visual;
    } else if (type == "mp4a" || type == ".mp3") {
        if (entry.size() >= 36) info.sampleRate = readU32(entry, 32) >> 16;
        if (entry.size() >= 26)
            info.channels = (static_cast<unsigned char>(entry[24]) << 8) | static_cast<unsigned char>(entry[25]);
        const unsigned object = type == ".mp3" ? 0x6b : objectType(findInEntry(entry, 28, "esds"), &info.decoderConfig);
        if (object == 0x40 || object == 0x66 || object == 0x67 || object == 0x68) info.codec = Codec::Aac;
        if (object == 0x69 || object == 0x6b) info.codec = Codec::Mp3;
    }
}

}  // namespace

uint32_t readU32(const std::string& bytes, size_t at) {
    if (at + 4 > bytes.size()) throw Failure("a box is cut short");
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

const Box* childBox(const Box& box, const char* type) {
    auto found = std::find_if(box.children.begin(), box.children.end(), [&](const auto& c) { return c->type == type; });
    return found == box.children.end() ? nullptr : found->get();
}

Box* childBox(Box& box, const char* type) {
    return const_cast<Box*>(childBox(static_cast<const Box&>(box), type));
}

std::optional<uint32_t> trackId(const Box& track) {
    const Box* header = childBox(track, "tkhd");
    if (!header || header->payload.size() < 24) return std::nullopt;
    return readU32(header->payload, header->payload[0] == 1 ? 20 : 12);
}

TrackInfo readTrack(const Box& track, uint64_t fileSize) {
    TrackInfo info;
    info.id = trackId(track).value_or(0);
    const Box* media = childBox(track, "mdia");
    if (!media) throw Failure("the track has no media box");
    const Box* handler = childBox(*media, "hdlr");
    if (handler && handler->payload.size() >= 12) info.handler = handler->payload.substr(8, 4);
    const Box* header = childBox(*media, "mdhd");
    if (!header || header->payload.size() < 20) throw Failure("the track has no media header");
    const bool wide = header->payload[0] == 1;
    info.timescale = readU32(header->payload, wide ? 20 : 12);
    info.duration = wide ? readU64(header->payload, 24) : readU32(header->payload, 16);
    if (info.timescale == 0) throw Failure("the track has no timescale");
    const Box* mediaInfo = childBox(*media, "minf");
    const Box* table = mediaInfo ? childBox(*mediaInfo, "stbl") : nullptr;
    if (!table) throw Failure("the track has no sample table");
    readCodec(tablePayload(*table, "stsd"), info);

    const std::string& stsz = tablePayload(*table, "stsz");
    if (stsz.size() < 12) throw Failure("a sample table is cut short");
    const uint32_t fixedSize = readU32(stsz, 4);
    const uint32_t count = fixedSize ? readU32(stsz, 8) : entryCount(stsz, 12, 4);
    // A damaged count would otherwise ask for more samples than the file can hold.
    if (uint64_t{count} * fixedSize > fileSize) throw Failure("the sample size table claims more than the file holds");
    info.samples.resize(count);
    for (uint32_t i = 0; i < count; ++i) info.samples[i].size = fixedSize ? fixedSize : readU32(stsz, 12 + 4 * i);

    const std::string& stts = tablePayload(*table, "stts");
    uint64_t time = 0;
    size_t sample = 0;
    for (uint32_t e = 0, n = entryCount(stts, 8, 8); e < n; ++e) {
        const uint32_t run = readU32(stts, 8 + 8 * e);
        const uint32_t delta = readU32(stts, 12 + 8 * e);
        for (uint32_t i = 0; i < run && sample < count; ++i, ++sample) {
            info.samples[sample].time = time;
            info.samples[sample].duration = delta;
            time += delta;
        }
    }
    if (sample != count) throw Failure("the time table does not cover every sample");

    const Box* offsetsBox = childBox(*table, "stco");
    if (!offsetsBox) offsetsBox = childBox(*table, "co64");
    if (!offsetsBox) throw Failure("the track has no chunk offset table");
    const std::vector<uint64_t> chunks = chunkOffsets(*offsetsBox);
    const std::string& stsc = tablePayload(*table, "stsc");
    const uint32_t runs = entryCount(stsc, 8, 12);
    sample = 0;
    for (uint32_t r = 0; r < runs; ++r) {
        const uint32_t firstChunk = readU32(stsc, 8 + 12 * r);
        const uint32_t perChunk = readU32(stsc, 12 + 12 * r);
        const uint64_t endChunk = r + 1 < runs ? readU32(stsc, 8 + 12 * (r + 1)) : chunks.size() + 1;
        if (firstChunk == 0 || endChunk < firstChunk || endChunk > chunks.size() + 1) {
            throw Failure("the sample-to-chunk table is inconsistent");
        }
        for (uint64_t chunk = firstChunk; chunk < endChunk; ++chunk) {
            uint64_t at = chunks[chunk - 1];
            for (uint32_t i = 0; i < perChunk && sample < count; ++i, ++sample) {
                info.samples[sample].offset = at;
                at += info.samples[sample].size;
            }
        }
    }
    if (sample != count) throw Failure("the chunk tables do not place every sample");
    for (const Sample& placed : info.samples) {
        if (placed.offset > fileSize || placed.size > fileSize - placed.offset) {
            throw Failure("a sample lies outside the file");
        }
    }
    return info;
}

}  // namespace posttools
