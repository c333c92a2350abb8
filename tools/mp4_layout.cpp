#include "tools/mp4_layout.h"

#include <algorithm>

namespace posttools {

namespace {

struct Placement {
    const TopBox* box;
    uint64_t newOffset;
};

}  // namespace

void writeArranged(const std::string& path, const InputFile& file, const std::vector<TopBox>& boxes,
                   const std::vector<size_t>& order, size_t movieIndex, Box& movie, NewTail* tail) {
    std::vector<Box*> tables;
    std::vector<std::vector<uint64_t>> original;
    for (Box* table : chunkOffsetBoxes(movie)) {
        if (tail && table == tail->table) continue;
        tables.push_back(table);
        original.push_back(chunkOffsets(*table));
    }
    const TopBox* movieBox = &boxes[movieIndex];

    // The movie box can grow when a table has to widen to 64 bits, which moves the data again;
    // a table only ever widens, so this settles after a few rounds.
    std::vector<Placement> placements;
    for (int round = 0;; ++round) {
        if (round > 4) throw Failure("the chunk offsets do not settle");
        const uint64_t movieSize = serializedSize(movie);
        placements.clear();
        uint64_t at = 0;
        for (size_t index : order) {
            placements.push_back({&boxes[index], at});
            at += index == movieIndex ? movieSize : boxes[index].size;
        }
        if (tail && tail->table) {
            std::vector<uint64_t> moved;
            for (uint64_t offset : tail->offsets) moved.push_back(at + offset);
            setChunkOffsets(*tail->table, moved);
        }
        for (size_t t = 0; t < tables.size(); ++t) {
            std::vector<uint64_t> moved;
            moved.reserve(original[t].size());
            for (uint64_t offset : original[t]) {
                auto holder = std::find_if(placements.begin(), placements.end(), [&](const Placement& p) {
                    return p.box != movieBox && offset >= p.box->offset && offset < p.box->offset + p.box->size;
                });
                if (holder == placements.end()) throw Failure("a chunk offset points outside the media data");
                moved.push_back(offset - holder->box->offset + holder->newOffset);
            }
            setChunkOffsets(*tables[t], moved);
        }
        if (serializedSize(movie) == movieSize) break;
    }

    Rewrite rewrite(path);
    for (const Placement& placement : placements) {
        if (placement.box == movieBox) {
            rewrite.write(serialize(movie));
        } else {
            rewrite.copy(file, placement.box->offset, placement.box->size);
        }
    }
    if (tail) rewrite.write(tail->box);
    rewrite.commit(file.mode());
}

}  // namespace posttools
