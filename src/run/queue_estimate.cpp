#include "run/queue_estimate.h"

#include <algorithm>
#include <cmath>

namespace torvane {

QueueEstimate estimateQueue(const std::vector<QueueItemWork>& items, double workedSeconds) {
    double known = 0.0;
    int knownCount = 0;
    for (const QueueItemWork& item : items) {
        if (item.outputSeconds > 0) {
            known += item.outputSeconds;
            ++knownCount;
        }
    }
    const double typical = knownCount > 0 ? known / knownCount : 1.0;
    double total = 0.0;
    double done = 0.0;
    for (const QueueItemWork& item : items) {
        const double seconds = item.outputSeconds > 0 ? item.outputSeconds : typical;
        total += seconds;
        done += item.over ? seconds : seconds * std::clamp(item.doneFraction, 0.0, 1.0);
    }
    QueueEstimate estimate;
    if (total <= 0) return estimate;
    estimate.percent = static_cast<int>(std::clamp(std::floor(done / total * 100.0), 0.0, 100.0));
    if (done >= total) {
        estimate.remainingSeconds = 0.0;
    } else if (done > 0 && workedSeconds > 0) {
        estimate.remainingSeconds = (total - done) / (done / workedSeconds);
    }
    return estimate;
}

void WorkClock::start(Clock::time_point now) {
    since_ = now;
    banked_ = {};
    running_ = true;
    paused_ = false;
}

void WorkClock::pause(Clock::time_point now) {
    if (!running_ || paused_) return;
    banked_ += now - since_;
    paused_ = true;
}

void WorkClock::resume(Clock::time_point now) {
    if (!running_ || !paused_) return;
    since_ = now;
    paused_ = false;
}

double WorkClock::workedSeconds(Clock::time_point now) const {
    if (!running_) return 0.0;
    const Clock::duration worked = paused_ ? banked_ : banked_ + (now - since_);
    return std::chrono::duration<double>(worked).count();
}

}  // namespace torvane
