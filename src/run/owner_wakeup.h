#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace torvane {

// Lets a thread own a run without a UI event loop: workers call wake, the owner blocks in
// waitFor until woken (or the limit passes), then calls the run's processEvents.
class OwnerWakeup {
public:
    void wake() {
        {
            const std::lock_guard lock(mutex_);
            pending_ = true;
        }
        woken_.notify_one();
    }

    // True when woken; the wake-up is consumed.
    bool waitFor(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        const bool woken = woken_.wait_for(lock, limit, [this] { return pending_; });
        pending_ = false;
        return woken;
    }

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    bool pending_ = false;
};

}  // namespace torvane
