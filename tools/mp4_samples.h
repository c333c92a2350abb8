#pragma once

// One track of a parsed movie: its identity, codec and where each sample lies in the file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/mp4_boxes.h"

namespace posttools {

enum class Codec { Unknown, H264, Mpeg4Visual, Aac, Mp3 };

struct Sample {
    uint64_t offset = 0;
    uint32_t size = 0;
    uint64_t time = 0;      // decode time in the media timescale
    uint32_t duration = 0;  // in the media timescale
};

struct TrackInfo {
    uint32_t id = 0;
    std::string handler;
    uint32_t timescale = 0;
    uint64_t duration = 0;  // in the media timescale
    Codec codec = Codec::Unknown;
    unsigned nalLengthSize = 4;              // H.264 only
    uint32_t sampleRate = 0;                 // audio only
    unsigned channels = 0;                   // audio only
    std::vector<std::string> parameterSets;  // H.264 sequence and picture parameter sets
    std::string decoderConfig;               // MPEG-4 decoder specific information
    std::vector<Sample> samples;
};

const Box* childBox(const Box& box, const char* type);
Box* childBox(Box& box, const char* type);
uint32_t readU32(const std::string& bytes, size_t at);

std::optional<uint32_t> trackId(const Box& track);
// Reads the track's tables; throws Failure when they contradict each other or place a sample
// outside the first fileSize bytes.
TrackInfo readTrack(const Box& track, uint64_t fileSize);

}  // namespace posttools
