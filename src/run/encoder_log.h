#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace torvane {

// The whole output of one item's encoder, kept in a file of its own so that a failed item can
// be looked into after the run: <state folder>/logs/<date>-<time>-<pid>-<counter>-<source>.log.
// The file holds at most kMaxBytes: past that, the beginning and the last kTailBytes are kept
// with a note of what was left out. Opening a log removes the oldest ones past kKeptLogs.
//
// Not thread-safe: one thread writes at a time. Writes are buffered; flush() when the item
// ends, and the destructor writes the rest. A write that fails (a full disk) is given up
// silently: the log must never stop a conversion.
class EncoderLog {
public:
    static constexpr std::size_t kMaxBytes = 4 * 1024 * 1024;
    static constexpr std::size_t kTailBytes = 1024 * 1024;
    static constexpr std::size_t kKeptLogs = 200;

    // <defaultStateFolder()>/logs.
    static std::string defaultFolder();

    // A new log for the source (its path or name) in folder, the folder made (mode 0700) when
    // missing; nullptr and *error set when the folder or the file cannot be made.
    static std::unique_ptr<EncoderLog> open(std::string_view sourceName, std::string* error,
                                            const std::string& folder = defaultFolder());

    ~EncoderLog();
    EncoderLog(const EncoderLog&) = delete;
    EncoderLog& operator=(const EncoderLog&) = delete;

    // Output as it comes, in chunks of any size.
    void append(std::string_view chunk);
    // A line of our own (the command line, how the item ended); a line end is added.
    void appendLine(std::string_view line);
    // Writes what is buffered of the beginning; the kept tail of a cut log waits for the end.
    void flush();

    const std::string& path() const { return path_; }

private:
    EncoderLog(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    void writeOut(std::string_view bytes);

    int fd_ = -1;
    std::string path_;
    std::string buffer_;         // not yet written, of the first kMaxBytes - kTailBytes
    std::size_t headBytes_ = 0;  // bytes taken into the beginning so far
    std::string tail_;           // the latest output past the beginning, at most 2 * kTailBytes
    std::size_t cutBytes_ = 0;   // bytes dropped from the tail
};

}  // namespace torvane
