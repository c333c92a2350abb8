#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "run/add_source_file.h"

namespace torvane {
class MediaInfoLibrary;
}

namespace torvane::app {

// Probes added files on one worker thread, one after another in the order they were given, so
// the window keeps painting while hundreds of files are read. Each result is handed to the
// UI thread in that same order; the list only ever changes there.
class SourceProber : public QObject {
    Q_OBJECT

public:
    using Accept = std::function<void(const std::string& path, ProbedSource probed)>;

    SourceProber(MediaInfoLibrary& library, Accept accept, QObject* parent = nullptr);
    // Waits for the probe under way; paths not yet probed are dropped.
    ~SourceProber() override;
    SourceProber(const SourceProber&) = delete;
    SourceProber& operator=(const SourceProber&) = delete;

    void probe(std::vector<std::string> paths);
    // True while paths are waiting, being probed, or waiting to be accepted.
    bool busy() const;

signals:
    // The results that were ready have all been accepted; more may follow.
    void batchAccepted();
    // The last given path has been accepted.
    void idle();

private:
    struct Result {
        std::string path;
        ProbedSource probed;
    };
    void work();
    void deliver();

    MediaInfoLibrary& library_;
    Accept accept_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> waiting_;
    std::deque<Result> results_;
    std::size_t inFlight_ = 0;  // taken by the worker, not yet in results_
    bool deliverPosted_ = false;
    bool delivering_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace torvane::app
