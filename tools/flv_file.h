#pragma once

// The tag layout of an FLV file: where each tag is and the few bytes of it the metadata needs.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/safe_rewrite.h"

namespace posttools {

struct FlvTag {
    uint8_t type = 0;     // 8 audio, 9 video, 18 script
    uint64_t offset = 0;  // of the tag header
    uint32_t dataSize = 0;
    uint32_t timestamp = 0;  // milliseconds, extended byte included
    std::string head;        // the first bytes of the data (up to 16)
    uint64_t totalSize() const { return 11 + uint64_t{dataSize}; }
};

struct FlvLayout {
    std::string header;  // the file header as found (its length field may exceed 9)
    std::vector<FlvTag> tags;
};

// Throws Failure when the file is not FLV or a tag is cut short.
FlvLayout readFlv(const InputFile& file);

// The 11-byte tag header for a tag of the given type, size and time.
std::string tagHeader(uint8_t type, uint32_t dataSize, uint32_t timestamp);
std::string bigEndian32(uint32_t value);

// True for a script tag whose first value is the name "onMetaData".
bool isMetadataTag(const InputFile& file, const FlvTag& tag);

}  // namespace posttools
