#include "run/job_worker.h"

namespace torvane {

JobWorker::JobWorker() : thread_([this] { work(); }) {}

JobWorker::~JobWorker() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void JobWorker::post(std::function<void()> task) {
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void JobWorker::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
        if (tasks_.empty()) return;
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

PeriodicWake::PeriodicWake(std::chrono::milliseconds period, std::function<void()> call)
    : thread_([this, period, call = std::move(call)] {
          std::unique_lock lock(mutex_);
          while (!wake_.wait_for(lock, period, [this] { return closing_; })) {
              lock.unlock();
              call();
              lock.lock();
          }
      }) {}

PeriodicWake::~PeriodicWake() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

}  // namespace torvane
