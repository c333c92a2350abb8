#include "run/queue_controller.h"

#include "command/command_line_split.h"
#include "command/encoder_choice.h"
#include "command/placeholders.h"
#include "media/source_item.h"
#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "run/console_child.h"
#include "run/flash_grabber.h"
#include "run/run_observer.h"
#include "run/source_list.h"
#include "run/swf_source.h"
#include "settings/encode_settings.h"
#include "settings/option_store.h"

namespace torvane {
namespace {

constexpr auto kQuitGrace = std::chrono::milliseconds(500);

std::size_t column(SourceColumn which) {
    return static_cast<std::size_t>(which);
}

}  // namespace

// The encoder host of the run: its hooks only queue what happened and wake the owner.
class QueueController::JobRunner : public ConsoleChild {
public:
    explicit JobRunner(QueueController& owner) : owner_(owner) {}
    ~JobRunner() override { stop(); }
    unsigned launch = 0;

protected:
    void onStarted(const std::string&) override { owner_.post({Event::Kind::Started, launch, {}}); }
    void onStdout(std::string_view chunk) override { owner_.post({Event::Kind::Stdout, launch, std::string(chunk)}); }
    void onStderr(std::string_view chunk) override { owner_.post({Event::Kind::Stderr, launch, std::string(chunk)}); }
    void onExited() override { owner_.post({Event::Kind::Exited, launch, {}}); }

private:
    QueueController& owner_;
};

std::string encoderFailureReason(std::string_view outputTail) {
    std::string reason;
    std::size_t start = 0;
    while (start < outputTail.size()) {
        std::size_t end = outputTail.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = outputTail.size();
        std::string_view line = outputTail.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.size() < 2 || line.starts_with("frame=") || line.starts_with("size=") || line.starts_with("Pos:") ||
            line.starts_with("video:") || line == "Conversion failed!" || line.starts_with("Exiting...")) {
            continue;
        }
        reason = std::string(line);
    }
    return reason;
}

QueueController::QueueController(SourceList& list, const EncodeSettings& settings, CommandContext context,
                                 const OptionStore& options, RunObserver& observer)
    : list_(list),
      settings_(settings),
      context_(std::move(context)),
      options_(options),
      observer_(observer),
      runner_(std::make_unique<JobRunner>(*this)) {
    // A Flash source is prepared (working copy, sound, movie facts) right before its command is
    // built; a caller may put its own preparation in the context instead.
    if (!context_.prepareFlashSource) {
        ownsFlashPreparation_ = true;
        context_.prepareFlashSource = [this](SourceItem& item, std::size_t) {
            if (!preparedFlashItem_) return prepareSwfSource(item, settings_, context_);
            item.workPath = preparedFlashItem_->workPath;
            item.extractedAudioPath = preparedFlashItem_->extractedAudioPath;
            item.media = preparedFlashItem_->media;
            preparedFlashItem_.reset();
        };
    }
}

QueueController::~QueueController() {
    // The program is closing: ffmpeg is asked to finish its file, then the encoder ends before
    // the rest of the controller goes.
    quitEncoder();
    runner_.reset();
    // The tools it runs are bounded in time; their result is no longer wanted.
    if (flashPreparer_.joinable()) flashPreparer_.join();
}

std::uint32_t QueueController::nowMs() const {
    const auto elapsed = std::chrono::steady_clock::now() - clockStart_;
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void QueueController::post(Event event) {
    {
        const std::lock_guard lock(eventsMutex_);
        events_.push_back(std::move(event));
    }
    observer_.wakeOwner();
}

bool QueueController::startRun(bool testRun) {
    if (runActive_) return false;
    lastOutputPath_.clear();
    outcome_.reset();
    if (list_.rowCount() == 0) {
        observer_.showMessage("안내", "변환할 파일이 없습니다. 변환할 파일을 먼저 추가해주세요.", MessageIcon::Warning);
        return false;
    }
    context_.fullRun = !testRun;
    context_.testEncodeSeconds = testEncodeSeconds;
    if (!settings_.profilePath.empty()) options_.setOption("lastpreset", settings_.profilePath);

    progress_ = RunProgress{};
    progress_.itemCount = static_cast<int>(list_.rowCount());
    progress_.totalBytes = list_.totalBytes();
    results_.assign(list_.rowCount(), RunItemResult{});
    for (std::size_t row = 0; row < list_.rowCount(); ++row) {
        SourceItem& item = *list_.item(row);
        item.doneBytes = 0;
        item.percent = 0;
        item.startTick = 0;
        item.elapsedMs = 0;
        list_.setProgressText(row, "");
        list_.setOutputText(row, "");
        observer_.setCellText(row, column(SourceColumn::Progress), "");
        observer_.setCellText(row, column(SourceColumn::OutputFile), "");
    }
    currentIndex_ = -1;
    observer_.showSpeed("배속정보");
    observer_.showRemainingTime("00:00:00");
    observer_.showCurrentProgress("0%", 0);
    observer_.showOverallProgress("0%", 0);
    observer_.setRunningUi(true);
    runActive_ = true;
    stopRequested_ = false;
    launchCurrentItem();
    return true;
}

void QueueController::launchCurrentItem() {
    // A loop rather than recursion: items that cannot start are passed over one after another.
    while (true) {
        if (stopRequested_) {
            runEnded();
            return;
        }
        if (!runActive_) return;
        const std::size_t row = static_cast<std::size_t>(currentIndex_ + 1);
        if (row >= list_.rowCount()) {
            runActive_ = false;
            runEnded();
            return;
        }
        currentIndex_ = static_cast<int>(row);
        list_.selectOnly(row);
        observer_.selectRow(row);
        SourceItem& item = *list_.item(row);
        item.doneBytes = 0;
        item.percent = 0;
        item.elapsedMs = 0;
        item.startTick = 0;
        lines_.clear();
        RunItemResult& result = results_[row];
        result = RunItemResult{RunItemResult::State::Converting, {}, {}, {}};

        if (needsFlashPreparation(item)) {
            startFlashPreparation(item);
            return;
        }
        if (startEncoder(row)) return;
    }
}

bool QueueController::startEncoder(std::size_t row) {
    SourceItem& item = *list_.item(row);
    RunItemResult& result = results_[row];
    context_.launchCounter = launchCounter_;
    const std::string commandLine = buildCommandLine(settings_, item, row, context_);
    result.outputPath = item.outputPath;
    const auto argv = splitCommandLine(commandLine);
    encoderName_ =
        !argv.empty() && fileNamePart(argv[0]).find("ffmpeg") != std::string_view::npos ? "ffmpeg" : "mencoder";
    quitEncoder();
    runner_->launch = watchedLaunch_ = launchCounter_;
    ++launchCounter_;
    std::string grabberProblem;
    if (!commandLine.empty() && startFlashGrabber(item, row, commandLine, &grabberProblem) &&
        runner_->start(commandLine, context_.placeholders.programFolder)) {
        watching_ = true;
        return true;
    }
    // Nothing started: the item failed, and the run goes on with the next one.
    grabber_.reset();
    watching_ = false;
    result.state = RunItemResult::State::Failed;
    result.reason = commandLine.empty()       ? "변환할 입력 파일이 없습니다."
                    : !grabberProblem.empty() ? grabberProblem
                                              : encoderName_ + "을(를) 시작할 수 없습니다: " + argv[0];
    item.doneBytes = item.fileSize;
    progress_.finishedBytes += item.fileSize;
    list_.setProgressText(row, "실패");
    observer_.setCellText(row, column(SourceColumn::Progress), "실패");
    observer_.showStatus("아이템 변환실패");
    return false;
}

bool QueueController::needsFlashPreparation(const SourceItem& item) const {
    // Flash sources go to ffmpeg unless the preset insists on mencoder, which reads them itself.
    return ownsFlashPreparation_ && !preparedFlashItem_ && settings_.eg != "m" &&
           lowerAscii(fileExtension(item.sourcePath)) == "swf";
}

void QueueController::startFlashPreparation(const SourceItem& item) {
    // A run stopped during an earlier preparation may still have it running: it ends first.
    if (flashPreparer_.joinable()) flashPreparer_.join();
    preparing_ = true;
    const unsigned id = ++preparationCounter_;
    // The worker has its own copies: the owner may change the list and settings meanwhile.
    flashPreparer_ = std::thread([this, id, copy = item, settings = settings_, context = context_]() mutable {
        copy.workPath.clear();
        copy.extractedAudioPath.clear();
        prepareSwfSource(copy, settings, context);
        post({Event::Kind::FlashPrepared, id, {}, std::make_shared<SourceItem>(std::move(copy))});
    });
}

void QueueController::flashPrepared(Event& event) {
    if (!preparing_ || event.launch != preparationCounter_) return;
    preparing_ = false;
    // A stop during the preparation has ended the run already.
    if (!runActive_ || stopRequested_ || currentIndex_ < 0) return;
    preparedFlashItem_ = std::move(event.prepared);
    const bool started = startEncoder(static_cast<std::size_t>(currentIndex_));
    preparedFlashItem_.reset();
    if (!started) launchCurrentItem();
}

void QueueController::processEvents() {
    while (true) {
        Event event;
        {
            const std::lock_guard lock(eventsMutex_);
            if (events_.empty()) return;
            event = std::move(events_.front());
            events_.pop_front();
        }
        if (event.kind == Event::Kind::FlashPrepared) {
            flashPrepared(event);
            continue;
        }
        // Events of an encoder we no longer watch (stopped, or a start that failed) are stale.
        if (!watching_ || event.launch != watchedLaunch_ || currentIndex_ < 0) continue;
        switch (event.kind) {
            case Event::Kind::Started:
                itemStarted();
                break;
            case Event::Kind::Stdout:
            case Event::Kind::Stderr:
                if (!handleOutput(event)) return;
                break;
            case Event::Kind::Exited:
                itemFinished();
                break;
            case Event::Kind::FlashPrepared:
                break;
        }
    }
}

void QueueController::itemStarted() {
    SourceItem& item = *list_.item(static_cast<std::size_t>(currentIndex_));
    item.doneBytes = 0;
    item.percent = 0;
    item.elapsedMs = 0;
    item.startTick = nowMs();
    observer_.showCurrentProgress("0%", 0);
    observer_.showStatus("아이템 변환시작");
}

bool QueueController::handleOutput(const Event& event) {
    RunItemResult& result = results_[static_cast<std::size_t>(currentIndex_)];
    result.outputTail += event.chunk;
    if (result.outputTail.size() > kOutputTailBytes) {
        result.outputTail.erase(0, result.outputTail.size() - kOutputTailBytes);
    }
    // ffmpeg reports on standard error; of mencoder only standard output is read.
    if (event.kind == Event::Kind::Stderr && encoderName_ != "ffmpeg") return true;
    SourceItem& item = *list_.item(static_cast<std::size_t>(currentIndex_));
    for (const std::string& line : lines_.append(event.chunk)) {
        applyUpdate(parser_.parseLine(line, item, progress_, {runActive_, stopRequested_, nowMs()}));
        if (stopRequested_) {
            runEnded();
            return false;
        }
    }
    return true;
}

void QueueController::applyUpdate(const ProgressUpdate& update) {
    const auto row = static_cast<std::size_t>(currentIndex_);
    if (update.cellText) {
        list_.setProgressText(row, *update.cellText);
        observer_.setCellText(row, column(SourceColumn::Progress), *update.cellText);
    }
    if (update.currentPercentText)
        observer_.showCurrentProgress(*update.currentPercentText, update.currentBar.value_or(0));
    if (update.overallPercentText)
        observer_.showOverallProgress(*update.overallPercentText, update.overallBar.value_or(0));
    if (update.speedText) observer_.showSpeed(*update.speedText);
    if (update.remainingText) observer_.showRemainingTime(*update.remainingText);
    if (update.statusText) observer_.showStatus(*update.statusText);
}

bool QueueController::startFlashGrabber(const SourceItem& item, std::size_t row, const std::string& commandLine,
                                        std::string* reason) {
    const std::string pipeId = framePipeId(context_.launchCounter, row);
    if (commandLine.find(framePipePath(pipeId)) == std::string::npos) return true;
    const std::string flashgrab = findProgram(context_.placeholders.programFolder, "flashgrab");
    if (flashgrab.empty()) {
        *reason = "flashgrab을(를) 찾을 수 없습니다.";
        return false;
    }
    std::string error;
    grabber_ =
        FlashGrabber::start(flashgrab, item.workPath, pipeId, item.media.videoWidth, item.media.videoHeight, &error);
    if (!grabber_) *reason = error.empty() ? "flashgrab을(를) 시작할 수 없습니다." : error;
    return grabber_ != nullptr;
}

void QueueController::itemFinished() {
    watching_ = false;
    runner_->stop();  // the child has ended: this only joins its threads
    grabber_.reset();
    const auto row = static_cast<std::size_t>(currentIndex_);
    SourceItem& item = *list_.item(row);
    item.elapsedMs = nowMs() - item.startTick;
    RunItemResult& result = results_[row];

    // Trailing output without a line end still counts: it may be the closing line.
    for (const std::string& line : lines_.append("\n")) {
        applyUpdate(parser_.parseLine(line, item, progress_, {runActive_, stopRequested_, nowMs()}));
    }
    const int status = runner_->exitStatus().value_or(-1);
    const bool written = isNonEmptyFile(item.outputPath);
    // The processed bytes count towards the overall progress whatever the result.
    item.doneBytes = item.fileSize;
    if (status == 0 && written) {
        item.percent = 100;
        result.state = RunItemResult::State::Succeeded;
        list_.setProgressText(row, "100%");
        observer_.setCellText(row, column(SourceColumn::Progress), "100%");
        observer_.showCurrentProgress("100%", 100);
        observer_.showRemainingTime("00:00:00");
        const std::string name(fileNamePart(item.outputPath));
        list_.setOutputText(row, name);
        observer_.setCellText(row, column(SourceColumn::OutputFile), name);
        postProcess(settings_.container, item.outputPath, context_.placeholders.programFolder);
        lastOutputPath_ = item.outputPath;
        observer_.showStatus("아이템 변환완료");
    } else {
        result.state = RunItemResult::State::Failed;
        result.reason = encoderFailureReason(result.outputTail);
        if (result.reason.empty()) {
            result.reason = status != 0 ? encoderName_ + " 종료 코드 " + std::to_string(status)
                                        : "출력 파일이 만들어지지 않았습니다.";
        }
        list_.setProgressText(row, "실패");
        observer_.setCellText(row, column(SourceColumn::Progress), "실패");
        observer_.showStatus("아이템 변환실패");
    }
    overallProgress(item, progress_);
    progress_.finishedBytes = progress_.overallDone;
    observer_.showOverallProgress(std::to_string(progress_.overallPercent) + "%", progress_.overallPercent);
    if (runActive_) launchCurrentItem();
}

void QueueController::requestStop() {
    if (!runActive_ || stopRequested_) return;
    if (options_.getOption("confirmbeforestop", "n") == "y" &&
        !observer_.askYesNo("질문", "동영상 변환을 중지 하시겠습니까?")) {
        return;
    }
    observer_.showStopping();
    stopRequested_ = true;
    // The encoder may print nothing for a long time: the stop takes effect now.
    runEnded();
}

void QueueController::quitEncoder() {
    if (runner_->isRunning()) {
        // ffmpeg finishes its file properly when told "q".
        if (encoderName_ == "ffmpeg") {
            runner_->writeInput("q");
            runner_->waitForExit(kQuitGrace);
        }
    }
    runner_->stop();
    grabber_.reset();
}

void QueueController::runEnded() {
    const bool wasWatching = watching_;
    watching_ = false;
    quitEncoder();
    observer_.setRunningUi(false);

    RunOutcome outcome;
    outcome.stopped = stopRequested_;
    if (outcome.stopped && wasWatching && currentIndex_ >= 0) {
        RunItemResult& current = results_[static_cast<std::size_t>(currentIndex_)];
        current.state = RunItemResult::State::Stopped;
        current.reason = "변환이 중지되어 출력 파일이 완성되지 않았습니다.";
    }
    for (const RunItemResult& result : results_) {
        if (result.state == RunItemResult::State::Succeeded) ++outcome.succeeded;
        if (result.state == RunItemResult::State::Failed) ++outcome.failed;
    }
    outcome.action = chooseCompletionAction(!runActive_, outcome.stopped, powerOffAfterRun, exitAfterRun,
                                            options_.getOption("finishalert", "y"));
    if (outcome.stopped) {
        stopRequested_ = false;
        runActive_ = false;
        observer_.showMessage("안내", "동영상 변환이 중지 되었습니다.", MessageIcon::Information);
    } else if (outcome.failed > 0 && outcome.action == CompletionAction::FinishDialog) {
        // No congratulations over failures: say how many failed instead.
        outcome.action = CompletionAction::None;
        observer_.showStatus("작업완료");
        observer_.showMessage("안내",
                              "변환에 실패한 파일이 " + std::to_string(outcome.failed) + "개 있습니다. (성공 " +
                                  std::to_string(outcome.succeeded) + "개)",
                              MessageIcon::Warning);
    } else if (outcome.action == CompletionAction::FinishDialog) {
        observer_.showStatus("작업완료");
    }
    outcome_ = outcome;
}

}  // namespace torvane
