#include "tools/rtp_packets.h"

namespace posttools {

namespace {

Piece bytes(std::string immediate) {
    return Piece{std::move(immediate), 0, 0};
}

Piece range(uint32_t offset, uint32_t length) {
    return Piece{{}, offset, length};
}

std::string twoBytes(uint32_t value) {
    return {static_cast<char>((value >> 8) & 0xff), static_cast<char>(value & 0xff)};
}

// Single NAL unit packets, and fragmentation units (FU-A) for the units over the payload size.
std::vector<Packet> h264(const std::string& data, unsigned lengthSize) {
    std::vector<Packet> packets;
    size_t at = 0;
    while (at + lengthSize <= data.size()) {
        uint64_t length = 0;
        for (unsigned i = 0; i < lengthSize; ++i) length = (length << 8) | static_cast<unsigned char>(data[at + i]);
        at += lengthSize;
        if (length == 0) continue;
        if (length > data.size() - at) throw Failure("a NAL unit runs past the end of its sample");
        const auto start = static_cast<uint32_t>(at);
        const auto size = static_cast<uint32_t>(length);
        if (size <= kMaxPayload) {
            packets.push_back({false, {range(start, size)}});
        } else {
            const auto header = static_cast<unsigned char>(data[at]);
            const char indicator = static_cast<char>((header & 0xe0) | 28);
            const unsigned type = header & 0x1f;
            // The NAL header is carried in the FU indicator and FU header, not repeated.
            for (uint32_t done = 1; done < size;) {
                const uint32_t piece = std::min(size - done, kMaxPayload - 2);
                const bool first = done == 1;
                const bool last = done + piece == size;
                const char fuHeader = static_cast<char>((first ? 0x80 : 0) | (last ? 0x40 : 0) | type);
                packets.push_back({false, {bytes(std::string{indicator, fuHeader}), range(start + done, piece)}});
                done += piece;
            }
        }
        at += length;
    }
    if (!packets.empty()) packets.back().marker = true;
    return packets;
}

// Plain cuts of the sample, each at most one payload long.
std::vector<Packet> split(const Sample& sample, const std::string& prefix, uint32_t room) {
    std::vector<Packet> packets;
    for (uint32_t done = 0; done < sample.size || packets.empty();) {
        const uint32_t piece = std::min(sample.size - done, room);
        Packet packet;
        if (!prefix.empty()) packet.pieces.push_back(bytes(prefix));
        if (piece > 0) packet.pieces.push_back(range(done, piece));
        packets.push_back(std::move(packet));
        done += piece;
        if (piece == 0) break;
    }
    packets.back().marker = true;
    return packets;
}

}  // namespace

std::vector<Packet> packetize(Codec codec, const Sample& sample, const std::string& data, unsigned nalLengthSize) {
    switch (codec) {
        case Codec::H264:
            return h264(data, nalLengthSize);
        case Codec::Mpeg4Visual:
            return split(sample, {}, kMaxPayload);
        case Codec::Aac: {
            // One AU header section: 16 bits of header length, then size (13 bits) and index (3).
            const std::string header = twoBytes(16) + twoBytes((sample.size & 0x1fff) << 3);
            return split(sample, header, kMaxPayload - 4);
        }
        case Codec::Mp3: {
            // The MPEG audio header: 16 zero bits, then the fragment offset (set per piece below).
            std::vector<Packet> packets = split(sample, std::string(4, '\0'), kMaxPayload - 4);
            for (Packet& packet : packets) {
                const uint32_t offset = packet.pieces.size() > 1 ? packet.pieces[1].offset : 0;
                packet.pieces[0].immediate = twoBytes(0) + twoBytes(offset);
            }
            return packets;
        }
        case Codec::Unknown:
            break;
    }
    throw Failure("hinting is not supported for this track");
}

uint32_t rtpClockRate(Codec codec, uint32_t sampleRate) {
    if (codec == Codec::Aac && sampleRate > 0) return sampleRate;
    return 90000;
}

uint8_t payloadType(Codec codec) {
    switch (codec) {
        case Codec::Mp3:
            return 14;
        case Codec::Aac:
            return 97;
        default:
            return 96;
    }
}

}  // namespace posttools
