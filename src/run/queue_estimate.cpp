#include "run/queue_estimate.h"

#include <algorithm>
#include <cmath>

namespace torvane {

namespace {

struct ItemCost {
    double fixedSeconds = 0.0;
    double secondsPerOutputSecond = 0.0;
};

// Least squares over the converted items: took = fixed + perSecond x output seconds. None
// until two lengths are known, or when the fit makes no sense.
std::optional<ItemCost> fittedCost(const std::vector<QueueItemWork>& items) {
    double n = 0, sumX = 0, sumY = 0, sumXX = 0, sumXY = 0;
    for (const QueueItemWork& item : items) {
        if (!item.over || item.tookSeconds <= 0 || item.outputSeconds <= 0) continue;
        n += 1;
        sumX += item.outputSeconds;
        sumY += item.tookSeconds;
        sumXX += item.outputSeconds * item.outputSeconds;
        sumXY += item.outputSeconds * item.tookSeconds;
    }
    const double spread = n * sumXX - sumX * sumX;
    if (n < 2 || spread <= 1e-9 * n * sumXX) return std::nullopt;
    ItemCost cost;
    cost.secondsPerOutputSecond = (n * sumXY - sumX * sumY) / spread;
    cost.fixedSeconds = (sumY - cost.secondsPerOutputSecond * sumX) / n;
    if (cost.fixedSeconds < 0) {
        // Noise below a real cost of zero: all of it per second.
        cost.fixedSeconds = 0;
        cost.secondsPerOutputSecond = sumXY / sumXX;
    }
    if (!(cost.secondsPerOutputSecond > 0) || !std::isfinite(cost.secondsPerOutputSecond)) return std::nullopt;
    return cost;
}

}  // namespace

QueueEstimate estimateQueue(const std::vector<QueueItemWork>& items, double workedSeconds, int slots) {
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
        return estimate;
    }
    if (const std::optional<ItemCost> cost = fittedCost(items)) {
        double left = 0.0;
        int unfinished = 0;
        for (const QueueItemWork& item : items) {
            if (item.over) continue;
            const double seconds = item.outputSeconds > 0 ? item.outputSeconds : typical;
            left += (1.0 - std::clamp(item.doneFraction, 0.0, 1.0)) *
                    (cost->fixedSeconds + cost->secondsPerOutputSecond * seconds);
            ++unfinished;
        }
        estimate.remainingSeconds = left / std::clamp(unfinished, 1, std::max(slots, 1));
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
