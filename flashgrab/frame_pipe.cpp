#include "flashgrab/frame_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace flashgrab {
namespace {

constexpr int kPipeBytes = 1 << 20;

// The FIFO's name for the signal handler, which may only touch static storage.
char gPendingFifo[4096];

extern "C" void removeFifoAndExit(int) {
    if (gPendingFifo[0]) unlink(gPendingFifo);
    _exit(1);
}

void watchSignals(bool on) {
    struct sigaction action {};
    action.sa_handler = on ? removeFifoAndExit : SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

std::string describe(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::optional<std::string> pipeFolder(const char* runtimeDir, const std::string& tmpRoot, std::string& error) {
    if (runtimeDir && runtimeDir[0] == '/') return std::string(runtimeDir);
    uid_t uid = getuid();
    std::string folder = tmpRoot + "/torvane-" + std::to_string(uid);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = describe("cannot create", folder);
        return std::nullopt;
    }
    // lstat: a symlink planted by someone else must not redirect our FIFO.
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0) {
        error = describe("cannot inspect", folder);
        return std::nullopt;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != uid || (st.st_mode & 077) != 0) {
        error = folder + " is not a private folder of this user (a directory, ours, mode 0700); refusing to use it";
        return std::nullopt;
    }
    return folder;
}

std::optional<std::string> pipePath(const std::string& folder, const std::string& pipeId) {
    if (pipeId.find('/') != std::string::npos || pipeId.size() > 200) return std::nullopt;
    return folder + "/Torvane" + pipeId;
}

FramePipe::~FramePipe() {
    if (fd_ >= 0) close(fd_);
    if (created_) {
        unlink(path_.c_str());
        watchSignals(false);
        gPendingFifo[0] = 0;
    }
}

bool FramePipe::create(const std::string& path, std::string& error) {
    if (path.size() >= sizeof gPendingFifo) {
        error = "pipe path too long: " + path;
        return false;
    }
    path_ = path;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        // Only a FIFO of ours is a leftover of an earlier run; anything else is not ours to remove.
        if (!S_ISFIFO(st.st_mode) || st.st_uid != getuid()) {
            error = path + " exists and is not a FIFO of this user; refusing to replace it";
            return false;
        }
        if (unlink(path.c_str()) != 0) {
            error = describe("cannot remove stale", path);
            return false;
        }
    }
    std::memcpy(gPendingFifo, path.c_str(), path.size() + 1);
    watchSignals(true);
    if (mkfifo(path.c_str(), 0600) != 0) {
        error = describe("cannot create FIFO", path);
        watchSignals(false);
        gPendingFifo[0] = 0;
        return false;
    }
    created_ = true;
    return true;
}

bool FramePipe::open(std::string& error) {
    int fd;
    do fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    // The reader has its end now (or the open failed): the name has done its job either way.
    unlink(path_.c_str());
    watchSignals(false);
    gPendingFifo[0] = 0;
    created_ = false;
    if (fd < 0) {
        error = describe("cannot open FIFO", path_);
        return false;
    }
    fd_ = fd;
    // A pipe holds 64 KB by default, a twelfth of a 550 x 400 frame: the writer then waits for the
    // reader a dozen times a frame, and each wait is a trip through the scheduler. A megabyte (what an
    // unprivileged process may ask for unless the system says otherwise) holds a frame or more; when
    // refused, the default stays.
    (void)fcntl(fd_, F_SETPIPE_SZ, kPipeBytes);
    return true;
}

bool FramePipe::write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace flashgrab
