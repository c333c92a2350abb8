#include "tools/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tools/swf_reader.h"

namespace swf {

namespace {

namespace fs = std::filesystem;

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::exists(a, error) && fs::equivalent(a, b, error);
}

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

PendingOutput::PendingOutput(const std::string& target, const std::string& input) : target_(target), input_(input) {
    if (target.empty()) throw Error("no output file given");
    if (sameFile(target, input)) throw Error("refusing to overwrite the input file " + input);
    std::error_code error;
    if (fs::is_directory(target, error)) throw Error("the output " + target + " is a folder");

    const fs::path targetPath(target);
    const fs::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : fs::path(".");
    // Beside the target, so the final rename stays within one file system.
    // The name is shortened so that a target name near the length limit still leaves room.
    const std::string stem = targetPath.filename().string().substr(0, 64);
    std::string pattern = (folder / ("." + stem + ".part-XXXXXX")).string();
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) throw Error(systemError("cannot write in the folder of", target));
    temporary_ = pattern;
    // mkstemp makes the file private; give it the permissions an ordinary new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, static_cast<mode_t>(0666 & ~mask));
}

PendingOutput::~PendingOutput() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

void PendingOutput::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw Error(systemError("cannot write", target_));
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

void PendingOutput::commit() {
    if (::fsync(fd_) != 0 && errno != EINVAL) throw Error(systemError("cannot write", target_));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw Error(systemError("cannot write", target_));
    struct stat info {};
    if (::stat(temporary_.c_str(), &info) != 0 || info.st_size == 0) throw Error("nothing to write to " + target_);
    // Checked again at the last moment: the input may have been linked to the target meanwhile.
    if (sameFile(target_, input_)) throw Error("refusing to overwrite the input file " + input_);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) throw Error(systemError("cannot write", target_));
    committed_ = true;
}

void writeOutput(const std::string& target, const std::string& input, std::string_view bytes) {
    PendingOutput output(target, input);
    output.write(bytes);
    output.commit();
}

}  // namespace swf
