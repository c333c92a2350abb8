#include "tools/safe_rewrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace posttools {

namespace {

constexpr size_t kBufferSize = 1 << 20;

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw Failure(systemError("cannot open", path));
    struct stat info {};
    if (::fstat(fd_, &info) != 0) throw Failure(systemError("cannot read", path));
    if (!S_ISREG(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw Failure(path + " is not a regular file");
    }
    size_ = static_cast<uint64_t>(info.st_size);
    mode_ = info.st_mode & 07777;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string InputFile::read(uint64_t offset, uint64_t length) const {
    if (offset > size_ || length > size_ - offset) throw Failure(path_ + " ends before the data it describes");
    std::string bytes(length, '\0');
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd_, bytes.data() + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw Failure(systemError("cannot read", path_));
        if (got == 0) throw Failure(path_ + " became shorter while it was read");
        done += static_cast<size_t>(got);
    }
    return bytes;
}

Rewrite::Rewrite(const std::string& target) {
    // Through a symbolic link the file it points to is rewritten; replacing the link itself
    // would leave the real file as it was and turn the link into a copy.
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
    target_ = error ? target : resolved.string();
    const std::filesystem::path targetPath(target_);
    const std::filesystem::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : ".";
    folder_ = folder.string();
    // An unnamed file in the folder first: a run killed before it is complete leaves nothing
    // behind. It gets a name only at commit, beside the original so the rename stays within
    // one file system.
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        throw Failure(systemError("cannot create a temporary file beside", target_));
    }
    temporary_ = namePattern();
    fd_ = ::mkstemp(temporary_.data());  // mode 0600 until complete
    if (fd_ < 0) {
        temporary_.clear();
        throw Failure(systemError("cannot create a temporary file beside", target_));
    }
}

std::string Rewrite::namePattern() const {
    // The name is cut so that a long original name still leaves room for the suffix.
    const std::string name = std::filesystem::path(target_).filename().string().substr(0, 64);
    return (std::filesystem::path(folder_) / ("." + name + ".rewrite-XXXXXX")).string();
}

Rewrite::~Rewrite() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

void Rewrite::flush() {
    size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t put = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) throw Failure(systemError("cannot write beside", target_));
        done += static_cast<size_t>(put);
    }
    buffer_.clear();
}

void Rewrite::write(std::string_view bytes) {
    if (buffer_.capacity() < kBufferSize) buffer_.reserve(kBufferSize);
    written_ += bytes.size();
    if (buffer_.size() + bytes.size() > kBufferSize) flush();
    if (bytes.size() >= kBufferSize) {
        buffer_.assign(bytes.begin(), bytes.end());
        flush();
        return;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void Rewrite::copy(const InputFile& from, uint64_t offset, uint64_t length) {
    while (length > 0) {
        const uint64_t piece = length < kBufferSize ? length : kBufferSize;
        write(from.read(offset, piece));
        offset += piece;
        length -= piece;
    }
}

void Rewrite::commit(unsigned mode) {
    flush();
    if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0)
        throw Failure(systemError("cannot set permissions beside", target_));
    if (::fsync(fd_) != 0) throw Failure(systemError("cannot flush beside", target_));
    if (temporary_.empty()) {
        // Give the unnamed file a unique name to rename from; linkat cannot replace a name.
        for (int attempt = 0; temporary_.empty(); ++attempt) {
            std::string name = namePattern();
            const int probe = ::mkstemp(name.data());
            if (probe < 0) throw Failure(systemError("cannot name a temporary file beside", target_));
            ::close(probe);
            ::unlink(name.c_str());
            const std::string self = "/proc/self/fd/" + std::to_string(fd_);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temporary_ = name;
            } else if (errno != EEXIST || attempt > 8) {
                throw Failure(systemError("cannot name a temporary file beside", target_));
            }
        }
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw Failure(systemError("cannot write beside", target_));
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) throw Failure(systemError("cannot replace", target_));
    committed_ = true;
    // The rename itself is only durable once the folder is flushed too.
    const int folderFd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
}

}  // namespace posttools
