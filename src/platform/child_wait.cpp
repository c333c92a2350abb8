#include "platform/child_wait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>

#include "platform/child_process.h"
#include "platform/system_call.h"

namespace torvane {

Cancellation::Cancellation() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Cancellation::~Cancellation() {
    if (fd_ >= 0) ::close(fd_);
}

void Cancellation::cancel() {
    const std::uint64_t one = 1;
    if (fd_ < 0) return;
    [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

bool Cancellation::cancelled() const {
    pollfd entry{fd_, POLLIN, 0};
    return fd_ >= 0 && retryOnInterrupt([&] { return ::poll(&entry, 1, 0); }) == 1;
}

std::optional<int> waitForChildWithin(pid_t pid, std::chrono::milliseconds limit, const Cancellation* cancellation) {
    // A pid descriptor becomes readable when the child ends: the wait needs no polling loop.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd < 0) return waitForChild(pid);  // kernels before 5.3: an unbounded wait
    pollfd entries[2] = {{pidFd, POLLIN, 0}, {cancellation != nullptr ? cancellation->fd() : -1, POLLIN, 0}};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() < 0) break;
        const int ready = ::poll(entries, 2, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (entries[1].revents & POLLIN) != 0) break;
        if ((entries[0].revents & POLLIN) != 0) {
            ::close(pidFd);
            return waitForChild(pid);
        }
    }
    ::close(pidFd);
    return std::nullopt;
}

}  // namespace torvane
