#pragma once

#include <sys/types.h>
#include <chrono>
#include <optional>

namespace torvane {

// A flag another thread raises to end a bounded wait at once (a stop, a closing program); its
// descriptor becomes readable when raised, so a wait can poll it beside the child.
class Cancellation {
public:
    Cancellation();
    ~Cancellation();
    Cancellation(const Cancellation&) = delete;
    Cancellation& operator=(const Cancellation&) = delete;

    void cancel();
    bool cancelled() const;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Waits at most `limit` for the child to end and reaps it; nullopt when the time ran out or the
// cancellation was raised first (the child then still runs and is not reaped). The exit status
// is as waitForChild gives it.
std::optional<int> waitForChildWithin(pid_t pid, std::chrono::milliseconds limit,
                                      const Cancellation* cancellation = nullptr);

}  // namespace torvane
