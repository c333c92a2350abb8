#include "run/line_assembler.h"

namespace torvane {

std::vector<std::string> LineAssembler::append(std::string_view chunk) {
    std::vector<std::string> lines;
    if (chunk.empty()) return lines;
    buffer_ += chunk;
    if (buffer_.size() <= 1) return lines;
    for (char& c : buffer_) {
        if (c == '\r') c = '\n';
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = buffer_.find('\n', start);
        if (end == std::string::npos) break;
        if (end - start > 1) lines.push_back(buffer_.substr(start, end - start));
        start = end + 1;
    }
    buffer_.erase(0, start);
    if (buffer_.size() > kMaxPartialLine) buffer_.clear();
    return lines;
}

}  // namespace torvane
