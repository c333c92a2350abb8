#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// Turns an encoder's output chunks into lines. ffmpeg and mencoder redraw their status line
// with carriage returns, so a carriage return ends a line as a line feed does. Lines of one
// byte or less are dropped, and a partial line that grows past 220 bytes without an end is
// discarded, which keeps the buffer small when a tool prints long text without line ends.
class LineAssembler {
public:
    static constexpr std::size_t kMaxPartialLine = 220;

    // The complete lines the chunk finishes, in order.
    std::vector<std::string> append(std::string_view chunk);
    void clear() { buffer_.clear(); }
    const std::string& pending() const { return buffer_; }

private:
    std::string buffer_;
};

}  // namespace torvane
