#pragma once

// How one media sample is cut into RTP packets, each described by what goes into its payload:
// bytes given here (a payload header) or a range of the sample itself.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mp4_samples.h"

namespace posttools {

constexpr uint32_t kMaxPayload = 1450;

struct Piece {
    std::string immediate;  // when non-empty, these bytes (at most 14)
    uint32_t offset = 0;    // otherwise this range of the sample
    uint32_t length = 0;
};

struct Packet {
    bool marker = false;
    std::vector<Piece> pieces;
};

// data is the sample's bytes (needed for H.264 only, where NAL units are found in it).
std::vector<Packet> packetize(Codec codec, const Sample& sample, const std::string& data, unsigned nalLengthSize);

// The RTP clock rate and payload type for the codec; the sample rate for the audio clocks.
uint32_t rtpClockRate(Codec codec, uint32_t sampleRate);
uint8_t payloadType(Codec codec);

}  // namespace posttools
