#pragma once

// The box layout of an MP4 file: the top-level boxes found by their headers, and the movie box
// parsed far enough to reach the chunk offset tables of every track.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/safe_rewrite.h"

namespace posttools {

struct TopBox {
    std::string type;
    uint64_t offset = 0;
    uint64_t size = 0;  // whole box, header included
};

// The top-level boxes; throws Failure when the file is not laid out as an MP4 file.
std::vector<TopBox> readTopBoxes(const InputFile& file);

// A box of the movie box tree. Containers on the way to the sample tables have children;
// every other box keeps its payload as it was.
struct Box {
    std::string type;
    std::string payload;
    std::vector<std::unique_ptr<Box>> children;
    bool container = false;
};

// Parses a whole box (header included); throws Failure on a malformed tree.
std::unique_ptr<Box> parseBox(const std::string& bytes);
std::string serialize(const Box& box);
uint64_t serializedSize(const Box& box);

// The stco and co64 boxes in the tree, in track order.
std::vector<Box*> chunkOffsetBoxes(Box& root);
std::vector<uint64_t> chunkOffsets(const Box& table);
// Stores the offsets back, switching the table to co64 when one does not fit 32 bits.
void setChunkOffsets(Box& table, const std::vector<uint64_t>& offsets);

}  // namespace posttools
