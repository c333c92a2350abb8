#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "command/command_context.h"
#include "run/line_assembler.h"
#include "run/post_process.h"
#include "run/progress_parser.h"

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
    std::string reason;  // why it failed, in the encoder's own words where it gave any
    std::string outputPath;
    std::string outputTail;  // the last few kilobytes the encoder printed
};

// How a whole run ended.
struct RunOutcome {
    bool stopped = false;
    int succeeded = 0;
    int failed = 0;
    CompletionAction action = CompletionAction::None;
};

// Converts the source list one row after another in list order. Worker threads (the encoder's
// readers and watcher) only queue events and wake the owner through the observer; the owner
// thread calls processEvents, which feeds lines to the parser, judges finished items, launches
// the next one and tells the observer. Every other call is made on the owner thread too.
class QueueController {
public:
    static constexpr std::size_t kOutputTailBytes = 4096;

    QueueController(SourceList& list, const EncodeSettings& settings, CommandContext context,
                    const OptionStore& options, RunObserver& observer);
    ~QueueController();
    QueueController(const QueueController&) = delete;
    QueueController& operator=(const QueueController&) = delete;

    // Seconds of each file a test run encodes; kept for the next test run.
    int testEncodeSeconds = 5;
    // The "변환 후" choices of the main window.
    bool powerOffAfterRun = false;
    bool exitAfterRun = false;

    // Where the next run writes ("저장폴더", or each source's own folder).
    void setOutputFolder(OutputFolderChoice output) { context_.output = std::move(output); }

    // Starts a run over every row ("변환 시작", or "테스트" with testRun); false, after a
    // message, when the list is empty.
    bool startRun(bool testRun);
    // "변환 중지": asks first when "confirmbeforestop" is "y", then quits the encoder at once;
    // the item being converted is not marked finished.
    void requestStop();
    // Handles what the workers queued; call it on the owner thread when woken.
    void processEvents();

    bool runActive() const { return runActive_; }
    // One result per row of the run, in row order.
    const std::vector<RunItemResult>& results() const { return results_; }
    // The outcome of the last run that ended.
    const std::optional<RunOutcome>& outcome() const { return outcome_; }
    const std::string& lastOutputPath() const { return lastOutputPath_; }
    unsigned launchCounter() const { return launchCounter_; }

private:
    struct Event {
        enum class Kind { Started, Stdout, Stderr, Exited, FlashPrepared };
        Kind kind;
        unsigned launch;
        std::string chunk;
        std::shared_ptr<SourceItem> prepared = nullptr;  // FlashPrepared: the item with its work files
    };
    class JobRunner;

    void post(Event event);
    void launchCurrentItem();
    // Builds the current item's command line and starts the encoder; false, with the item marked
    // failed, when nothing could be started.
    bool startEncoder(std::size_t row);
    // A Flash source's work files and facts come from tools that may run for seconds: they are
    // made on a worker thread, and the item starts when they are ready.
    bool needsFlashPreparation(const SourceItem& item) const;
    void startFlashPreparation(const SourceItem& item);
    void flashPrepared(Event& event);
    // Starts flashgrab when the item's command line reads a frame pipe; false, with the reason,
    // when it is needed and cannot be started.
    bool startFlashGrabber(const SourceItem& item, std::size_t row, const std::string& commandLine,
                           std::string* reason);
    void itemStarted();
    bool handleOutput(const Event& event);
    void applyUpdate(const ProgressUpdate& update);
    void itemFinished();
    void runEnded();
    void quitEncoder();
    std::uint32_t nowMs() const;

    SourceList& list_;
    const EncodeSettings& settings_;
    CommandContext context_;
    const OptionStore& options_;
    RunObserver& observer_;
    std::unique_ptr<JobRunner> runner_;
    std::unique_ptr<FlashGrabber> grabber_;  // the frame renderer of a Flash item, while it runs
    // Flash preparation: only the controller's own, not one a caller put in the context.
    bool ownsFlashPreparation_ = false;
    std::thread flashPreparer_;
    unsigned preparationCounter_ = 0;
    bool preparing_ = false;
    // The current item's finished preparation, handed to the command builder.
    std::shared_ptr<SourceItem> preparedFlashItem_;

    std::mutex eventsMutex_;
    std::deque<Event> events_;

    bool runActive_ = false;
    bool stopRequested_ = false;
    int currentIndex_ = -1;
    unsigned launchCounter_ = 0;
    unsigned watchedLaunch_ = 0;
    bool watching_ = false;
    std::string encoderName_;
    LineAssembler lines_;
    ProgressParser parser_;
    RunProgress progress_;
    std::vector<RunItemResult> results_;
    std::optional<RunOutcome> outcome_;
    std::string lastOutputPath_;
    const std::chrono::steady_clock::time_point clockStart_ = std::chrono::steady_clock::now();
};

// The line of an encoder's output that tells why it failed: the last line that is neither
// progress nor ffmpeg's closing "Conversion failed!".
std::string encoderFailureReason(std::string_view outputTail);

}  // namespace torvane
