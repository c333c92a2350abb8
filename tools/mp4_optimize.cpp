#include "tools/mp4_optimize.h"

#include <algorithm>

#include "tools/mp4_boxes.h"
#include "tools/mp4_layout.h"
#include "tools/safe_rewrite.h"

namespace posttools {

bool optimizeMp4(const std::string& path) {
    InputFile file(path);
    const std::vector<TopBox> boxes = readTopBoxes(file);
    auto find = [&](const char* type) {
        return static_cast<size_t>(
            std::find_if(boxes.begin(), boxes.end(), [&](const TopBox& b) { return b.type == type; }) - boxes.begin());
    };
    const size_t moov = find("moov");
    const size_t firstMdat = find("mdat");
    if (moov == boxes.size()) throw Failure("the file has no movie box (moov)");
    if (firstMdat == boxes.size() || moov < firstMdat) return false;
    if (find("moof") < boxes.size()) throw Failure("fragmented files are not rearranged");

    // The new order: what came before the first media data (file type and the like), then the
    // movie box, then everything else in the order it had.
    std::vector<size_t> order;
    for (size_t i = 0; i < firstMdat; ++i) order.push_back(i);
    order.push_back(moov);
    for (size_t i = firstMdat; i < boxes.size(); ++i) {
        if (i != moov) order.push_back(i);
    }
    std::unique_ptr<Box> movie = parseBox(file.read(boxes[moov].offset, boxes[moov].size));
    writeArranged(path, file, boxes, order, moov, *movie, nullptr);
    return true;
}

}  // namespace posttools
