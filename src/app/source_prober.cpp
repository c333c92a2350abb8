#include "app/source_prober.h"

namespace torvane::app {

SourceProber::SourceProber(MediaInfoLibrary& library, Accept accept, QObject* parent)
    : QObject(parent), library_(library), accept_(std::move(accept)), worker_([this] { work(); }) {}

SourceProber::~SourceProber() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

void SourceProber::probe(std::vector<std::string> paths) {
    {
        const std::lock_guard lock(mutex_);
        for (std::string& path : paths) waiting_.push_back(std::move(path));
    }
    wake_.notify_all();
}

bool SourceProber::busy() const {
    const std::lock_guard lock(mutex_);
    return !waiting_.empty() || inFlight_ > 0 || !results_.empty() || delivering_;
}

void SourceProber::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        std::string path = std::move(waiting_.front());
        waiting_.pop_front();
        ++inFlight_;
        lock.unlock();
        ProbedSource probed = probeSourceFile(path, library_);
        lock.lock();
        --inFlight_;
        results_.push_back({std::move(path), std::move(probed)});
        if (!deliverPosted_) {
            deliverPosted_ = true;
            // Dropped by Qt if this object is gone by the time the UI thread gets to it.
            QMetaObject::invokeMethod(
                this, [this] { deliver(); }, Qt::QueuedConnection);
        }
    }
}

void SourceProber::deliver() {
    std::unique_lock lock(mutex_);
    deliverPosted_ = false;
    // A message box shown while accepting one file runs its own event loop, which may come back
    // here: the outer call goes on with the rest once the box is closed, so order is kept.
    if (delivering_) return;
    delivering_ = true;
    bool accepted = false;
    while (!results_.empty()) {
        accepted = true;
        Result next = std::move(results_.front());
        results_.pop_front();
        lock.unlock();
        accept_(next.path, std::move(next.probed));
        lock.lock();
    }
    delivering_ = false;
    const bool done = waiting_.empty() && inFlight_ == 0;
    lock.unlock();
    if (accepted) emit batchAccepted();
    if (done) emit idle();
}

}  // namespace torvane::app
