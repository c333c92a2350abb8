#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace torvane {

// One long-lived thread that runs the slow steps of a run's items in the order given: starting
// flashgrab, post-processing, checking and publishing an output, ending a stopped encoder. The
// owner thread never waits on them; each task reports back through the owner's event queue.
// Children are started from this thread on purpose: it lives as long as the run's owner, and a
// child that must die with us is tied to the thread that started it.
class JobWorker {
public:
    JobWorker();
    // Runs what is still queued, then ends; tasks must be bounded in time.
    ~JobWorker();
    JobWorker(const JobWorker&) = delete;
    JobWorker& operator=(const JobWorker&) = delete;

    void post(std::function<void()> task);

private:
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool closing_ = false;
    std::thread thread_;
};

// Calls a function once a period on a thread of its own until destroyed: the run's clock for
// watching encoders that have gone quiet.
class PeriodicWake {
public:
    PeriodicWake(std::chrono::milliseconds period, std::function<void()> call);
    ~PeriodicWake();
    PeriodicWake(const PeriodicWake&) = delete;
    PeriodicWake& operator=(const PeriodicWake&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool closing_ = false;
    std::thread thread_;
};

}  // namespace torvane
