#pragma once

#include <chrono>
#include <optional>
#include <vector>

namespace torvane {

// One item of a run as the queue-wide estimate sees it: how many seconds of output it makes
// (its source's length, or its range, or the test length, divided by the speed change) and how
// far it has come.
struct QueueItemWork {
    double outputSeconds = 0.0;  // 0 when its length is unknown
    double doneFraction = 0.0;   // 0 to 1
    bool over = false;           // converted, failed or stopped: nothing left of it
    double tookSeconds = 0.0;    // converted: the working seconds its encoding took
};

struct QueueEstimate {
    int percent = 0;  // of all the run's output seconds, 0 to 100
    // Working seconds until the run ends; none until something has been measured.
    std::optional<double> remainingSeconds;
};

// The whole run's percent and remaining time, weighted by the items' output seconds rather than
// their file sizes (a small file can be a long clip). An item of unknown length counts as long
// as the average known one.
//
// Each item costs a fixed time (starting its encoder, reading the source) plus a time per second
// of output: once items of two lengths are converted, both are fitted to what they took, and
// what is left costs that, shared among the `slots` items encoding at once. Until then, the output
// seconds made so far over the seconds worked give the pace the rest is divided by.
QueueEstimate estimateQueue(const std::vector<QueueItemWork>& items, double workedSeconds, int slots = 1);

// The seconds a run has worked: its clock stops while the run is paused.
class WorkClock {
public:
    using Clock = std::chrono::steady_clock;

    void start(Clock::time_point now = Clock::now());
    void pause(Clock::time_point now = Clock::now());
    void resume(Clock::time_point now = Clock::now());
    bool started() const { return running_; }
    bool paused() const { return paused_; }
    double workedSeconds(Clock::time_point now = Clock::now()) const;

private:
    Clock::time_point since_{};
    Clock::duration banked_{};
    bool running_ = false;
    bool paused_ = false;
};

}  // namespace torvane
