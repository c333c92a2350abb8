#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace flashgrab {

// The folder of the FIFO: runtimeDir when it is an absolute path, else <tmpRoot>/torvane-<uid>, created
// with mode 0700 when missing and accepted only as a real directory of ours that nobody else may use.
// error says why not.
std::optional<std::string> pipeFolder(const char* runtimeDir, const std::string& tmpRoot, std::string& error);

// The FIFO's path for a pipe id; nullopt for an id that would leave the folder.
std::optional<std::string> pipePath(const std::string& folder, const std::string& pipeId);

// The writing end of the frame FIFO. create() makes the FIFO (replacing a stale one of ours); open()
// blocks until the reader opens its end and then removes the name, so nothing is left behind.
class FramePipe {
public:
    FramePipe() = default;
    ~FramePipe();
    FramePipe(const FramePipe&) = delete;
    FramePipe& operator=(const FramePipe&) = delete;

    bool create(const std::string& path, std::string& error);
    bool open(std::string& error);
    // Writes everything; false on a failed or short write (the reader went away).
    bool write(const std::uint8_t* data, std::size_t size);
    int fd() const { return fd_; }

private:
    std::string path_;
    bool created_ = false;
    int fd_ = -1;
};

}  // namespace flashgrab
