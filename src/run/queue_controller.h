#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "command/command_context.h"
#include "run/job_worker.h"
#include "run/line_assembler.h"
#include "run/post_process.h"
#include "run/progress_parser.h"
#include "run/queue_estimate.h"
#include "run/subtitle_preparation.h"

namespace torvane {

class EncodeSettings;
class FlashGrabber;
class OptionStore;
class RunObserver;
class SourceList;

// How one item of a run went.
struct RunItemResult {
    enum class State { Waiting, Converting, Succeeded, Failed, Stopped };
    State state = State::Waiting;
    std::string reason;      // why it failed, in words a person can act on
    std::string outputPath;  // the published file; before that, the name it is meant to get
    std::string outputTail;  // the last few kilobytes the encoder printed
    std::string logPath;     // the encoder's whole output, kept for a failed item's reader
    std::string key;         // the list item it belongs to
    // The run's working seconds when it started, and how many it took to encode (its check
    // overlaps the next item): what the remaining time learns an item's cost from.
    double startedAtWork = 0.0;
    double encodingSeconds = 0.0;
};

// How a whole run ended.
struct RunOutcome {
    bool stopped = false;
    int succeeded = 0;
    int failed = 0;
    CompletionAction action = CompletionAction::None;
};

// Converts the items of the source list in the order their rows had when the run started, up to
// "parallel" of them at once (each started when a slot is free); files added during the run join
// its end. The run walks the item keys it took,
// never the live rows. Each item is a job: the encoder writes a hidden temporary beside the
// output, and only an output that holds the promised streams and length is published under its
// name. Worker threads (the encoder's readers and watcher, the job worker that starts flashgrab,
// post-processes, checks and publishes, the watchdog's clock) only queue events and wake the
// owner through the observer; the owner thread calls processEvents, which feeds lines to the
// parser, judges items, launches the next one and tells the observer. No call on the owner
// thread waits for a child. Every other call is made on the owner thread too.
class QueueController {
public:
    static constexpr std::size_t kOutputTailBytes = 4096;

    QueueController(SourceList& list, const EncodeSettings& settings, CommandContext context,
                    const OptionStore& options, RunObserver& observer);
    // Ends a running encoder and removes its unfinished output.
    ~QueueController();
    QueueController(const QueueController&) = delete;
    QueueController& operator=(const QueueController&) = delete;

    // Seconds of each file a test run encodes; kept for the next test run.
    int testEncodeSeconds = 5;
    // Items encoding at once, instead of the "parallel" option when above 0 (torvane-cli
    // convert --jobs); either is held to 1 .. the number of processors.
    int itemsAtOnce = 0;
    // The "변환 후" choices of the main window.
    bool powerOffAfterRun = false;
    bool exitAfterRun = false;

    // Where the next run writes ("저장폴더", or each source's own folder).
    void setOutputFolder(OutputFolderChoice output) { context_.output = std::move(output); }

    // Starts a run over every row ("변환 시작", or "테스트" with testRun); false, after a
    // message, when the list is empty or the preset holds a value that cannot be used. With
    // skipFinished, rows the last full run converted (their files still there) are passed over.
    bool startRun(bool testRun, bool skipFinished = false);
    // Rows the last full run converted whose files still exist: what skipFinished passes over.
    std::size_t finishedRowCount() const;
    // "변환 중지": asks first when "confirmbeforestop" is "y" or alwaysAsk (a key pressed by
    // mistake must not end a run), with the encoders held still while the question is open,
    // then ends them; every item being converted is marked stopped and leaves no file.
    void requestStop(bool alwaysAsk = false);
    // Handles what the workers queued; call it on the owner thread when woken.
    void processEvents();

    bool runActive() const { return runActive_; }
    // Holds every running encoder still and starts no other item until resume; progress and
    // the remaining time stand still meanwhile. A stop while paused works as ever.
    void pause();
    void resume();
    bool paused() const { return paused_; }
    // True when nothing the controller started is still winding down: no run, no stopped
    // encoder being ended, no finished item being checked.
    bool settled() const { return !runActive_ && pendingWork_ == 0; }
    // One result per item of the run, in run order (the rows' order at the start, then the
    // files added during the run).
    const std::vector<RunItemResult>& results() const { return results_; }
    // The result an item got in the last run; nullptr when it was not in it.
    const RunItemResult* resultOf(const std::string& key) const;
    // The outcome of the last run that ended.
    const std::optional<RunOutcome>& outcome() const { return outcome_; }
    const std::string& lastOutputPath() const { return lastOutputPath_; }
    unsigned launchCounter() const { return launchCounter_; }

private:
    struct Event {
        enum class Kind { Started, Stdout, Stderr, Exited, Prepared, GrabberStarted, Finished, Settled, Tick };
        Kind kind;
        unsigned job;
        std::string chunk;
        std::shared_ptr<SourceItem> prepared = nullptr;   // Prepared: the item with its work files
        std::shared_ptr<FlashGrabber> grabber = nullptr;  // GrabberStarted: nullptr when it failed
        bool succeeded = false;                           // Finished
        std::string path = {};                            // Finished: the published output
        std::string notes = {};                           // Finished: what post-processing said
    };
    class JobRunner;
    struct Job;

    void post(Event event);
    // Takes rows appended since the run started into the run.
    void adoptAddedRows();
    void launchNextItem();
    // Builds the job's command line and starts flashgrab or the encoder; false, with the item
    // marked failed and the job gone, when nothing could be started.
    bool startItem(Job& job);
    bool startEncoder(Job& job);
    bool needsFlashPreparation(const SourceItem& item) const;
    // What the item's subtitle needs before the encoder can use it (subtitle_preparation.h).
    SubtitlePreparation subtitlePreparationOf(const SourceItem& item) const;
    // A Flash source's work files and a prepared subtitle come from tools that may run for
    // seconds: they are made on the job worker, and the item starts when they are ready.
    void startPreparation(Job& job, const SourceItem& item, bool flash, SubtitlePreparation subtitle);
    void itemPrepared(Event& event);
    void grabberStarted(Event& event);
    void itemStarted(Job& job);
    bool handleOutput(Job& job, const Event& event);
    void applyUpdate(const Job& job, ProgressUpdate update);
    void watchdogTick();
    // The whole run's overall percent and "남은시간": its items weighted by their output seconds,
    // every item encoding at once counted (queue_estimate.h).
    void showQueueRemaining();
    // Ends the job if its encoder stalled, grew past its size or lost its renderer; true then.
    bool watchdogFailed(Job& job);
    void encoderExited(Job& job);
    void itemFinished(const Event& event);
    // Marks the job's item failed and ends what it runs; the caller goes on with the next item.
    void failItem(Job& job, const std::string& reason);
    void markFailed(RunItemResult& result, const std::string& reason);
    void countFinished(SourceItem& item);
    void tallyOutcome(RunOutcome& outcome) const;
    // Hands an active job to the worker to be ended and cleaned away.
    void discardJob(unsigned id, const std::string& reason);
    void removeAbandonedFiles() const;
    void runEnded();
    // The active job with that id; nullptr when it has ended or been handed on to be checked.
    Job* activeJob(unsigned id);
    // The "현재" bar, the speed and the remaining time follow the item started last.
    bool shownOnTheBar(const Job& job) const;
    int rowOf(const Job& job) const;
    SourceItem* itemOf(const Job& job);
    std::uint32_t nowMs() const;

    SourceList& list_;
    const EncodeSettings& settings_;
    CommandContext context_;
    const OptionStore& options_;
    RunObserver& observer_;
    // Flash preparation: only the controller's own, not one a caller put in the context.
    bool ownsFlashPreparation_ = false;
    // The finished preparation of the item whose command is being built, for the command builder.
    std::shared_ptr<SourceItem> preparedItem_;
    // {cpucount} as the context came: the run divides it among the items encoding at once.
    unsigned processorCount_ = 1;

    std::mutex eventsMutex_;
    std::deque<Event> events_;

    bool runActive_ = false;
    bool paused_ = false;
    bool stopRequested_ = false;
    bool lastRunWasFull_ = false;
    unsigned runNumber_ = 0;
    std::vector<std::string> runKeys_;
    std::size_t adoptedRows_ = 0;
    std::size_t nextIndex_ = 0;  // the next item to start, into runKeys_ and results_
    std::size_t parallel_ = 1;   // "parallel": items encoding at once, read when the run starts
    unsigned launchCounter_ = 0;
    unsigned jobCounter_ = 0;
    // The items being prepared or encoded, by job id: the order they were started in.
    std::map<unsigned, std::unique_ptr<Job>> active_;
    // Items whose encoder has ended, being checked and published on the worker meanwhile.
    std::map<unsigned, std::unique_ptr<Job>> finishing_;
    int pendingWork_ = 0;
    long long stallSeconds_ = 0;  // "stalltimeout", read when the run starts
    RunProgress progress_;
    std::vector<RunItemResult> results_;
    std::optional<RunOutcome> outcome_;
    std::string lastOutputPath_;
    const std::chrono::steady_clock::time_point clockStart_ = std::chrono::steady_clock::now();
    // Declared last: its threads use everything above, so they end first.
    std::unique_ptr<PeriodicWake> clock_;
    WorkClock workClock_;
    std::vector<double> outputSeconds_;  // each run item's output seconds, by run index
    // When the remaining time was last worked out: at most four times a second.
    static constexpr std::uint32_t kRemainingRefreshMs = 250;
    std::uint32_t lastRemainingMs_ = 0;
    std::unique_ptr<JobWorker> worker_;
};

}  // namespace torvane
