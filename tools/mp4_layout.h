#pragma once

// Writes an MP4 file anew from its top-level boxes in a chosen order, with a replacement movie
// box whose chunk offsets follow the data they point into, and optionally one new box at the end.

#include <string>
#include <vector>

#include "tools/mp4_boxes.h"
#include "tools/safe_rewrite.h"

namespace posttools {

struct NewTail {
    std::string box;                // a whole box appended after everything else
    Box* table = nullptr;           // a chunk offset table in the movie whose offsets are counted
    std::vector<uint64_t> offsets;  // from the start of that box
};

// order lists indexes into boxes; the one at movieIndex is written as movie. Throws Failure
// (the file untouched) when a chunk offset points outside every box that is kept.
void writeArranged(const std::string& path, const InputFile& file, const std::vector<TopBox>& boxes,
                   const std::vector<size_t>& order, size_t movieIndex, Box& movie, NewTail* tail);

}  // namespace posttools
