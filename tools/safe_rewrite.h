#pragma once

// Every rewrite of a file in place goes through here: the new content is written to a private
// temporary file in the original's folder (unnamed while it is written, where the file system
// allows) and renamed over the original only once complete and flushed, so an interrupted run
// leaves the original as it was and, unnamed, nothing else.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace posttools {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file opened for reading by position; throws Failure when it cannot be opened.
class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    uint64_t size() const { return size_; }
    unsigned mode() const { return mode_; }
    int descriptor() const { return fd_; }
    // Exactly length bytes at offset; throws Failure past the end.
    std::string read(uint64_t offset, uint64_t length) const;

private:
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    unsigned mode_ = 0;
};

class Rewrite {
public:
    // Throws Failure when the temporary file cannot be created beside target.
    explicit Rewrite(const std::string& target);
    ~Rewrite();
    Rewrite(const Rewrite&) = delete;
    Rewrite& operator=(const Rewrite&) = delete;

    void write(std::string_view bytes);
    void copy(const InputFile& from, uint64_t offset, uint64_t length);
    uint64_t written() const { return written_; }
    // Gives the temporary file the original's permissions, flushes it and renames it over target.
    void commit(unsigned mode);

private:
    void flush();
    std::string namePattern() const;

    std::string target_;
    std::string folder_;
    std::string temporary_;
    int fd_ = -1;
    std::vector<char> buffer_;
    uint64_t written_ = 0;
    bool committed_ = false;
};

}  // namespace posttools
