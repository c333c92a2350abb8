#include "run/queue_controller.h"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <set>
#include <thread>

#include "command/command_line_split.h"
#include "command/encoder_choice.h"
#include "command/placeholders.h"
#include "command/subtitle_use.h"
#include "media/mediainfo_library.h"
#include "media/output_facts.h"
#include "media/source_item.h"
#include "platform/child_wait.h"
#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "run/console_child.h"
#include "run/encoder_log.h"
#include "run/failure_reason.h"
#include "run/flash_grabber.h"
#include "run/output_check.h"
#include "run/output_measure.h"
#include "run/output_publish.h"
#include "run/run_observer.h"
#include "run/source_list.h"
#include "run/subtitle_preparation.h"
#include "run/swf_source.h"
#include "run/time_size_text.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/settings_check.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

constexpr auto kClockPeriod = std::chrono::milliseconds(1000);
// flashgrab ends by itself once the encoder has closed its pipe.
constexpr auto kGrabberEndLimit = std::chrono::milliseconds(3000);
// Post-processing rewrites the whole file: a minute, and a second more for every 20 MB.
constexpr std::uint64_t kPostProcessBytesPerSecond = 20'000'000;
constexpr auto kPostProcessBaseLimit = std::chrono::seconds(60);
// An output may grow past its bit rates' promise by this factor, plus a margin for headers and
// the first seconds, before it counts as running away.
constexpr std::uint64_t kOversizeFactor = 3;
constexpr std::uint64_t kOversizeMarginBytes = 8u << 20;

std::size_t column(SourceColumn which) {
    return static_cast<std::size_t>(which);
}

std::uint64_t fileBytes(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

void removeFile(const std::string& path) {
    if (!path.empty()) ::unlink(path.c_str());
}

// The most bytes an output may reach: the bit rates the command asks for over its length, when
// every stream's rate is set by those bit rates (not by a quality, not lossless, not a copy).
std::uint64_t outputSizeLimit(const EncodeSettings& settings, const ContainerEntry& container,
                              const OutputPromise& promise, bool mencoder) {
    if (promise.seconds <= 0) return 0;
    for (const std::string* extra : {&settings.plusparam, &settings.plusparam2}) {
        for (const std::string_view quality : {"crf", "-q", "qscale", "lossless", "-b:", "vbr"}) {
            if (extra->find(quality) != std::string::npos) return 0;
        }
    }
    long long kilobits = 0;
    if (promise.picture) {
        const VideoCodecEntry& codec = container.findVideoCodec(settings.video_codec);
        const std::string& options = mencoder ? codec.param : codec.param2;
        if (options.find("{vbitrate}") == std::string::npos) return 0;
        kilobits += leadingInteger(settings.video_bitrate);
    }
    if (promise.sound) {
        const AudioCodecEntry& codec = container.findAudioCodec(settings.audio_codec);
        const std::string& options = mencoder ? codec.param : codec.param2;
        if (options.find("{abitrate}") == std::string::npos) return 0;
        kilobits += leadingInteger(settings.audio_bitrate);
    }
    if (kilobits <= 0) return 0;
    const double bytes = static_cast<double>(kilobits) * 125.0 * promise.seconds;
    return kOversizeFactor * static_cast<std::uint64_t>(bytes) + kOversizeMarginBytes;
}

}  // namespace

// The encoder host of one job: its hooks only queue what happened and wake the owner.
class QueueController::JobRunner : public ConsoleChild {
public:
    JobRunner(QueueController& owner, unsigned job) : owner_(owner), job_(job) {}
    ~JobRunner() override { stop(); }

protected:
    void onStarted(const std::string&) override { owner_.post({Event::Kind::Started, job_, {}}); }
    void onStdout(std::string_view chunk) override { owner_.post({Event::Kind::Stdout, job_, std::string(chunk)}); }
    void onStderr(std::string_view chunk) override { owner_.post({Event::Kind::Stderr, job_, std::string(chunk)}); }
    void onExited() override { owner_.post({Event::Kind::Exited, job_, {}}); }

private:
    QueueController& owner_;
    const unsigned job_;
};

// Everything one item runs and writes, from its preparation to its published output.
struct QueueController::Job {
    enum class Phase { Preparing, StartingGrabber, Encoding, Finishing };
    unsigned id = 0;
    std::size_t runIndex = 0;  // into the run's keys and results
    Phase phase = Phase::Preparing;
    std::string commandLine;
    std::string encoderName;
    std::unique_ptr<JobRunner> runner;
    std::shared_ptr<FlashGrabber> grabber;
    std::shared_ptr<Cancellation> cancellation = std::make_shared<Cancellation>();
    std::string temporaryPath;
    std::string finalPath;
    std::vector<std::string> workFiles;  // a Flash source's working copy and sound
    std::unique_ptr<EncoderLog> log;
    OutputPromise promise;
    long expectedFrames = 0;  // frames flashgrab must send in a full run; 0 when not known
    std::uint64_t sizeLimit = 0;
    // The watchdog's view: the last progress seen and when it last changed.
    std::uint64_t lastDoneBytes = 0;
    std::int32_t lastPercent = 0;
    std::uint64_t lastSize = 0;
    std::uint32_t lastChangeMs = 0;
    // The encoder's lines and what they mean, kept apart from the other items encoding at once.
    LineAssembler lines;
    ProgressParser parser;
};

QueueController::QueueController(SourceList& list, const EncodeSettings& settings, CommandContext context,
                                 const OptionStore& options, RunObserver& observer)
    : list_(list),
      settings_(settings),
      context_(std::move(context)),
      options_(options),
      observer_(observer),
      worker_(std::make_unique<JobWorker>()) {
    processorCount_ = std::max(context_.placeholders.cpuCount, 1u);
    // A Flash source is prepared (working copy, sound, movie facts) right before its command is
    // built; a caller may put its own preparation in the context instead.
    if (!context_.prepareFlashSource) {
        ownsFlashPreparation_ = true;
        context_.prepareFlashSource = [this](SourceItem& item, std::size_t) {
            if (!preparedItem_) return prepareSwfSource(item, settings_, context_);
            item.workPath = preparedItem_->workPath;
            item.extractedAudioPath = preparedItem_->extractedAudioPath;
            item.media = preparedItem_->media;
        };
    }
}

QueueController::~QueueController() {
    // The program is closing: the item being converted is unfinished, so its encoder ends and
    // its temporary goes; the worker finishes what it was given before the rest goes.
    clock_.reset();
    while (!active_.empty()) discardJob(active_.begin()->first, "프로그램이 끝나 중지됨");
    // Items still being checked are not published: the program ends before their verdict.
    for (const auto& [id, job] : finishing_) job->cancellation->cancel();
    worker_.reset();
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

const RunItemResult* QueueController::resultOf(const std::string& key) const {
    for (const RunItemResult& result : results_) {
        if (result.key == key) return &result;
    }
    return nullptr;
}

int QueueController::rowOf(const Job& job) const {
    return list_.rowOfKey(runKeys_[job.runIndex]);
}

SourceItem* QueueController::itemOf(const Job& job) {
    return list_.findItem(runKeys_[job.runIndex]);
}

QueueController::Job* QueueController::activeJob(unsigned id) {
    const auto found = active_.find(id);
    return found == active_.end() ? nullptr : found->second.get();
}

bool QueueController::shownOnTheBar(const Job& job) const {
    return !active_.empty() && active_.rbegin()->first == job.id;
}

void QueueController::removeAbandonedFiles() const {
    // Temporaries of a run that crashed or lost its power are in the folders we write to.
    std::set<std::string> folders;
    if (context_.output.sameFolderAsSource) {
        for (std::size_t row = 0; row < list_.rowCount(); ++row) {
            folders.emplace(parentFolder(list_.item(row)->sourcePath));
        }
    } else {
        folders.insert(context_.output.folder);
    }
    for (const std::string& folder : folders) removeAbandonedTemporaryOutputs(folder);
    if (ownsFlashPreparation_) removeAbandonedSwfWorkFiles();
}

std::size_t QueueController::finishedRowCount() const {
    if (runActive_ || !lastRunWasFull_) return 0;
    std::size_t count = 0;
    for (const RunItemResult& result : results_) {
        if (result.state == RunItemResult::State::Succeeded && list_.rowOfKey(result.key) >= 0 &&
            isFileNotFolder(result.outputPath)) {
            ++count;
        }
    }
    return count;
}

bool QueueController::startRun(bool testRun, bool skipFinished) {
    if (runActive_) return false;
    // What the last full run converted, taken before this run's results replace it.
    std::map<std::string, std::string> finished;
    if (skipFinished && !testRun && lastRunWasFull_) {
        for (const RunItemResult& result : results_) {
            if (result.state == RunItemResult::State::Succeeded && isFileNotFolder(result.outputPath)) {
                finished[result.key] = result.outputPath;
            }
        }
    }
    lastOutputPath_.clear();
    outcome_.reset();
    if (list_.rowCount() == 0) {
        observer_.showMessage("안내", "변환할 파일이 없습니다. 변환할 파일을 먼저 추가해주세요.", MessageIcon::Warning);
        return false;
    }
    // A preset value that is no value for its key must never reach an encoder's command line.
    if (const auto problem =
            context_.catalogue != nullptr ? settingsProblem(settings_, *context_.catalogue) : std::nullopt) {
        observer_.showMessage("안내", *problem, MessageIcon::Warning);
        return false;
    }
    context_.fullRun = !testRun;
    lastRunWasFull_ = !testRun;
    context_.testEncodeSeconds = testEncodeSeconds;
    stallSeconds_ = options_.getOptionInt("stalltimeout", "120");
    const long long processors = std::max(std::thread::hardware_concurrency(), 1u);
    const long long wanted = itemsAtOnce > 0 ? itemsAtOnce : options_.getOptionInt("parallel", "1");
    parallel_ = static_cast<std::size_t>(std::clamp(wanted, 1LL, processors));
    // Items encoding at once share the processors instead of each encoder taking them all.
    const auto share = static_cast<unsigned>(std::max(processors / static_cast<long long>(parallel_), 1LL));
    context_.encoderThreads = parallel_ > 1 ? share : 0;
    context_.placeholders.cpuCount = parallel_ > 1 ? std::min(share, processorCount_) : processorCount_;
    if (!settings_.profilePath.empty()) options_.setOption("lastpreset", settings_.profilePath);
    removeAbandonedFiles();

    // Items of a stopped run still being checked belong to it, not to this one: not published.
    for (const auto& [id, job] : finishing_) job->cancellation->cancel();
    finishing_.clear();
    ++runNumber_;
    progress_ = RunProgress{};
    progress_.itemCount = static_cast<int>(list_.rowCount());
    progress_.totalBytes = list_.totalBytes();
    runKeys_.clear();
    results_.clear();
    outputSeconds_.clear();
    for (std::size_t row = 0; row < list_.rowCount(); ++row) {
        runKeys_.push_back(list_.keyOfRow(row));
        results_.push_back(RunItemResult{});
        results_.back().key = runKeys_.back();
        SourceItem& item = *list_.item(row);
        item.doneBytes = 0;
        item.percent = 0;
        item.startTick = 0;
        item.elapsedMs = 0;
        list_.setProgressText(row, "");
        list_.setOutputText(row, "");
        list_.setResultText(row, "");
        observer_.setCellText(row, column(SourceColumn::Progress), "");
        observer_.setCellText(row, column(SourceColumn::OutputFile), "");
    }
    adoptedRows_ = list_.rowCount();
    // Items a crashed run had finished keep their files and are passed over, and so are the
    // ones the last run converted when the user chose to skip them.
    for (std::size_t index = 0; index < results_.size(); ++index) {
        SourceItem& item = *list_.item(index);
        const bool restoredDone =
            item.doneBeforeRestore && !item.outputPath.empty() && isFileNotFolder(item.outputPath);
        // Once passed over, a restored item counts as this run's result: a later start asks.
        if (!testRun) item.doneBeforeRestore = false;
        if (const auto earlier = finished.find(runKeys_[index]); earlier != finished.end()) {
            item.outputPath = earlier->second;
        } else if (!restoredDone) {
            item.doneBeforeRestore = false;
            continue;
        }
        results_[index].state = RunItemResult::State::Succeeded;
        results_[index].outputPath = item.outputPath;
        const std::string name(fileNamePart(item.outputPath));
        list_.setProgressText(index, "100%");
        observer_.setCellText(index, column(SourceColumn::Progress), "100%");
        list_.setOutputText(index, name);
        observer_.setCellText(index, column(SourceColumn::OutputFile), name);
        countFinished(item);
    }
    nextIndex_ = 0;
    observer_.showSpeed("배속정보");
    observer_.showRemainingTime("00:00:00");
    observer_.showCurrentProgress("0%", 0);
    observer_.showOverallProgress("0%", 0);
    observer_.setRunningUi(true);
    runActive_ = true;
    stopRequested_ = false;
    paused_ = false;
    clock_ = std::make_unique<PeriodicWake>(kClockPeriod, [this] { post({Event::Kind::Tick, 0, {}}); });
    workClock_ = WorkClock{};
    observer_.resultsChanged();
    launchNextItem();
    return true;
}

void QueueController::adoptAddedRows() {
    // Rows are only ever appended during a run: removing and moving them waits for its end.
    for (std::size_t row = adoptedRows_; row < list_.rowCount(); ++row) {
        runKeys_.push_back(list_.keyOfRow(row));
        results_.push_back(RunItemResult{});
        results_.back().key = runKeys_.back();
        ++progress_.itemCount;
        progress_.totalBytes += list_.item(row)->fileSize;
        observer_.resultsChanged();
    }
    adoptedRows_ = std::max(adoptedRows_, list_.rowCount());
}

void QueueController::launchNextItem() {
    // A loop rather than recursion: items start until every slot is taken, and items that cannot
    // start are passed over one after another.
    while (true) {
        if (stopRequested_) {
            runEnded();
            return;
        }
        if (!runActive_) return;
        adoptAddedRows();
        if (active_.size() >= parallel_ || paused_) return;
        const std::size_t next = nextIndex_;
        if (next >= runKeys_.size()) {
            // The run ends with the verdict of its last item.
            if (!active_.empty() || !finishing_.empty()) return;
            runActive_ = false;
            runEnded();
            return;
        }
        ++nextIndex_;
        RunItemResult& result = results_[next];
        if (result.state == RunItemResult::State::Succeeded) continue;  // done before a restore
        result.state = RunItemResult::State::Converting;
        result.startedAtWork = workClock_.workedSeconds();
        observer_.resultsChanged();
        SourceItem* item = list_.findItem(runKeys_[next]);
        const int row = list_.rowOfKey(runKeys_[next]);
        if (item == nullptr || row < 0) {
            markFailed(result, "목록에서 빠진 파일입니다.");
            continue;
        }
        list_.selectOnly(static_cast<std::size_t>(row));
        observer_.selectRow(static_cast<std::size_t>(row));
        item->doneBytes = 0;
        item->percent = 0;
        item->elapsedMs = 0;
        item->startTick = 0;
        item->preparedSubtitlePath.clear();
        auto created = std::make_unique<Job>();
        created->id = ++jobCounter_;
        created->runIndex = next;
        Job& job = *active_.emplace(created->id, std::move(created)).first->second;

        const bool flash = needsFlashPreparation(*item);
        if (const SubtitlePreparation subtitle = subtitlePreparationOf(*item);
            flash || subtitle != SubtitlePreparation::None) {
            startPreparation(job, *item, flash, subtitle);
            continue;
        }
        startItem(job);
    }
}

bool QueueController::startItem(Job& job) {
    SourceItem& item = *itemOf(job);
    const auto row = static_cast<std::size_t>(rowOf(job));
    RunItemResult& result = results_[job.runIndex];
    // Two Flash items at once get the same launch number here, but never the same row: their
    // frame pipes differ.
    context_.launchCounter = launchCounter_;
    context_.temporaryOutputTag = temporaryOutputTag();
    if (preparedItem_) item.preparedSubtitlePath = preparedItem_->preparedSubtitlePath;
    job.commandLine = buildCommandLine(settings_, item, row, context_);
    context_.temporaryOutputTag.clear();
    if (preparedItem_) {
        job.workFiles = {preparedItem_->workPath, preparedItem_->extractedAudioPath,
                         preparedItem_->preparedSubtitlePath};
        preparedItem_.reset();
    }
    result.outputPath = item.outputPath;
    if (job.commandLine.empty()) {
        failItem(job, "변환할 입력 파일이 없습니다.");
        return false;
    }
    std::string problem;
    if (!createTemporaryOutput(item.encodingPath, &problem)) {
        failItem(job, problem);
        return false;
    }
    job.temporaryPath = item.encodingPath;
    job.finalPath = item.outputPath;
    const auto argv = splitCommandLine(job.commandLine);
    job.encoderName =
        !argv.empty() && fileNamePart(argv[0]).find("ffmpeg") != std::string_view::npos ? "ffmpeg" : "mencoder";
    const bool mencoder = job.encoderName == "mencoder";
    const ContainerEntry& container = context_.catalogue->findContainer(settings_.container);
    job.promise = promisedOutput(settings_, item, container, context_.fullRun, context_.testEncodeSeconds,
                                 speedTheCommandApplies(settings_, mencoder));
    job.promise.subtitleTrack =
        subtitleUse(settings_, item, mencoder ? Encoder::Mencoder : Encoder::Ffmpeg) == SubtitleUse::Track;
    // ffmpeg's clock counts output seconds: with a speed change the item is that much shorter.
    job.parser.setFfmpegSpeed(mencoder ? 1.0 : chosenSpeed(settings_));
    job.sizeLimit = outputSizeLimit(settings_, container, job.promise, mencoder);

    // A Flash item's frames come from flashgrab through a pipe the command line names.
    const std::string pipeId = framePipeId(context_.launchCounter, row);
    if (job.commandLine.find(framePipePath(pipeId)) == std::string::npos) return startEncoder(job);
    const std::string flashgrab = findProgram(context_.placeholders.programFolder, "flashgrab");
    if (flashgrab.empty()) {
        failItem(job, "flashgrab을(를) 찾을 수 없습니다.");
        return false;
    }
    const SwfFrameSpan span = swfFrameSpan(item);
    if (context_.fullRun) job.expectedFrames = span.count();
    job.phase = Job::Phase::StartingGrabber;
    ++pendingWork_;
    // flashgrab reads the movie before it makes its pipe: that may take a while.
    worker_->post([this, id = job.id, flashgrab, movie = item.workPath, pipeId, width = item.media.videoWidth,
                   height = item.media.videoHeight, span] {
        std::string error;
        std::shared_ptr<FlashGrabber> grabber =
            FlashGrabber::start(flashgrab, movie, pipeId, width, height, span.first, span.last, &error);
        if (!grabber) error = error.empty() ? "flashgrab을(를) 시작할 수 없습니다." : error;
        post({Event::Kind::GrabberStarted, id, error, nullptr, std::move(grabber)});
    });
    return true;
}

void QueueController::grabberStarted(Event& event) {
    --pendingWork_;
    Job* job = activeJob(event.job);
    if (job == nullptr || job->phase != Job::Phase::StartingGrabber) {
        // Stopped meanwhile: ending flashgrab may take a moment, which the worker spends.
        if (event.grabber) worker_->post([grabber = std::move(event.grabber)]() mutable { grabber.reset(); });
        return;
    }
    if (!event.grabber) {
        failItem(*job, event.chunk);
        launchNextItem();
        return;
    }
    job->grabber = std::move(event.grabber);
    if (!startEncoder(*job)) launchNextItem();
}

bool QueueController::startEncoder(Job& job) {
    if (!context_.logFolder.empty()) {
        std::string error;
        job.log = EncoderLog::open(itemOf(job)->sourcePath, &error, context_.logFolder);
        if (job.log) {
            job.log->appendLine(job.commandLine);
            results_[job.runIndex].logPath = job.log->path();
        }
    }
    job.runner = std::make_unique<JobRunner>(*this, job.id);
    ++launchCounter_;
    // The pace is measured from the first encoder on: the run's own start-up is no encoding.
    if (!workClock_.started()) {
        workClock_.start();
        if (paused_) workClock_.pause();
    }
    job.phase = Job::Phase::Encoding;
    job.lastChangeMs = nowMs();
    if (job.runner->start(job.commandLine, context_.placeholders.programFolder)) {
        // Prepared while the run was being paused: it waits with the others.
        if (paused_) job.runner->setPaused(true);
        return true;
    }
    const auto argv = splitCommandLine(job.commandLine);
    failItem(job, job.encoderName + "을(를) 시작할 수 없습니다: " + (argv.empty() ? std::string() : argv[0]));
    return false;
}

bool QueueController::needsFlashPreparation(const SourceItem& item) const {
    // Flash sources go to ffmpeg unless the preset insists on mencoder, which reads them itself.
    return ownsFlashPreparation_ && settings_.eg != "m" && lowerAscii(fileExtension(item.sourcePath)) == "swf";
}

SubtitlePreparation QueueController::subtitlePreparationOf(const SourceItem& item) const {
    const ContainerEntry& container = context_.catalogue->findContainer(settings_.container);
    const Encoder encoder = chooseEncoder(settings_, item, container);
    return subtitlePreparation(settings_, item, subtitleUse(settings_, item, encoder), encoder);
}

void QueueController::startPreparation(Job& job, const SourceItem& item, bool flash, SubtitlePreparation subtitle) {
    ++pendingWork_;
    // The worker has its own copies: the owner may change the list and settings meanwhile.
    worker_->post(
        [this, id = job.id, copy = item, settings = settings_, context = context_, flash, subtitle]() mutable {
            copy.workPath.clear();
            copy.extractedAudioPath.clear();
            copy.preparedSubtitlePath.clear();
            std::string problem;
            if (subtitle != SubtitlePreparation::None) {
                copy.preparedSubtitlePath = prepareSubtitle(context.ffmpegPath, settings, copy, subtitle, id, &problem);
            }
            if (flash && problem.empty()) prepareSwfSource(copy, settings, context);
            post({Event::Kind::Prepared, id, problem, std::make_shared<SourceItem>(std::move(copy))});
        });
}

void QueueController::itemPrepared(Event& event) {
    --pendingWork_;
    Job* job = activeJob(event.job);
    if (job == nullptr || job->phase != Job::Phase::Preparing || itemOf(*job) == nullptr) {
        // A stop came first: the work files are not wanted.
        removeFile(event.prepared->workPath);
        removeFile(event.prepared->extractedAudioPath);
        removeFile(event.prepared->preparedSubtitlePath);
        return;
    }
    if (!event.chunk.empty()) {
        // A subtitle the user asked for and that cannot be used fails the item: a file converted
        // without it would look like a success.
        removeFile(event.prepared->workPath);
        removeFile(event.prepared->extractedAudioPath);
        failItem(*job, event.chunk);
        launchNextItem();
        return;
    }
    preparedItem_ = std::move(event.prepared);
    if (!startItem(*job)) launchNextItem();
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
        if (runActive_) adoptAddedRows();
        switch (event.kind) {
            case Event::Kind::Prepared:
                itemPrepared(event);
                continue;
            case Event::Kind::GrabberStarted:
                grabberStarted(event);
                continue;
            case Event::Kind::Finished:
                itemFinished(event);
                continue;
            case Event::Kind::Settled:
                --pendingWork_;
                continue;
            case Event::Kind::Tick:
                watchdogTick();
                if (runActive_) showQueueRemaining();
                continue;
            default:
                break;
        }
        // Events of an encoder we no longer watch (stopped, failed, or a start that failed) are stale.
        Job* job = activeJob(event.job);
        if (job == nullptr || job->phase != Job::Phase::Encoding) continue;
        switch (event.kind) {
            case Event::Kind::Started:
                itemStarted(*job);
                break;
            case Event::Kind::Stdout:
            case Event::Kind::Stderr:
                if (!handleOutput(*job, event)) return;
                break;
            case Event::Kind::Exited:
                encoderExited(*job);
                break;
            default:
                break;
        }
    }
}

void QueueController::itemStarted(Job& job) {
    SourceItem* item = itemOf(job);
    if (item == nullptr) return;
    item->doneBytes = 0;
    item->percent = 0;
    item->elapsedMs = 0;
    item->startTick = nowMs();
    if (!shownOnTheBar(job)) return;
    observer_.showCurrentProgress("0%", 0);
    observer_.showStatus("아이템 변환시작");
}

bool QueueController::handleOutput(Job& job, const Event& event) {
    RunItemResult& result = results_[job.runIndex];
    if (job.log) job.log->append(event.chunk);
    result.outputTail += event.chunk;
    if (result.outputTail.size() > kOutputTailBytes) {
        result.outputTail.erase(0, result.outputTail.size() - kOutputTailBytes);
    }
    // ffmpeg reports on standard error; of mencoder only standard output is read.
    if (event.kind == Event::Kind::Stderr && job.encoderName != "ffmpeg") return true;
    SourceItem* item = itemOf(job);
    if (item == nullptr) return true;
    for (const std::string& line : job.lines.append(event.chunk)) {
        applyUpdate(job, job.parser.parseLine(line, *item, progress_, {runActive_, stopRequested_, nowMs()}));
        if (stopRequested_) {
            runEnded();
            return false;
        }
    }
    if (item->doneBytes != job.lastDoneBytes || item->percent != job.lastPercent) {
        job.lastDoneBytes = item->doneBytes;
        job.lastPercent = item->percent;
        job.lastChangeMs = nowMs();
    }
    return true;
}

void QueueController::applyUpdate(const Job& job, ProgressUpdate update) {
    const int row = rowOf(job);
    if (row < 0) return;
    // The encoder's closing line is not the item's verdict: that comes once the output is checked.
    if (update.cellText && !update.closingLine) {
        list_.setProgressText(static_cast<std::size_t>(row), *update.cellText);
        observer_.setCellText(static_cast<std::size_t>(row), column(SourceColumn::Progress), *update.cellText);
    }
    // A run of one shows its item's percent as the overall one. Otherwise the overall percent and
    // the remaining time are the whole run's, and move with the progress rather than up to a
    // second behind it.
    if (update.overallPercentText && progress_.itemCount == 1) {
        observer_.showOverallProgress(*update.overallPercentText, update.overallBar.value_or(0));
    } else if (update.overallPercentText && nowMs() - lastRemainingMs_ >= kRemainingRefreshMs) {
        showQueueRemaining();
    }
    // The other items encoding at once show only in their rows and in the overall progress.
    if (!shownOnTheBar(job)) return;
    if (update.currentPercentText && !update.closingLine)
        observer_.showCurrentProgress(*update.currentPercentText, update.currentBar.value_or(0));
    if (update.speedText) observer_.showSpeed(*update.speedText);
    // The remaining time is the whole run's, shown each second by showQueueRemaining.
    if (update.statusText) observer_.showStatus(*update.statusText);
}

void QueueController::pause() {
    if (!runActive_ || paused_ || stopRequested_) return;
    paused_ = true;
    workClock_.pause();
    for (const auto& [id, job] : active_) {
        if (job->runner) job->runner->setPaused(true);
    }
    observer_.showStatus("일시정지");
}

void QueueController::resume() {
    if (!paused_) return;
    paused_ = false;
    workClock_.resume();
    const std::uint32_t now = nowMs();
    for (const auto& [id, job] : active_) {
        // The pause is no stall.
        job->lastChangeMs = now;
        if (job->runner) job->runner->setPaused(false);
    }
    observer_.showStatus("변환 중...");
    launchNextItem();
}

void QueueController::showQueueRemaining() {
    const ContainerEntry& container = context_.catalogue->findContainer(settings_.container);
    // What each item will produce stays the same through the run: worked out once, as items
    // join it, not four times a second.
    while (outputSeconds_.size() < results_.size()) {
        const SourceItem* item = list_.findItem(runKeys_[outputSeconds_.size()]);
        double seconds = 0.0;
        if (item != nullptr) {
            const bool mencoder = chooseEncoder(settings_, *item, container) == Encoder::Mencoder;
            seconds = promisedOutput(settings_, *item, container, context_.fullRun, context_.testEncodeSeconds,
                                     speedTheCommandApplies(settings_, mencoder))
                          .seconds;
        }
        outputSeconds_.push_back(seconds);
    }
    std::vector<QueueItemWork> work;
    work.reserve(results_.size());
    for (std::size_t index = 0; index < results_.size(); ++index) {
        const RunItemResult::State state = results_[index].state;
        const SourceItem* item = list_.findItem(runKeys_[index]);
        QueueItemWork entry;
        entry.over = item == nullptr || state == RunItemResult::State::Succeeded ||
                     state == RunItemResult::State::Failed || state == RunItemResult::State::Stopped;
        entry.outputSeconds = outputSeconds_[index];
        if (item != nullptr) {
            // An item whose encoder has ended is being checked: its encoding is all done.
            entry.doneFraction = results_[index].encodingSeconds > 0 ? 1.0 : item->percent / 100.0;
        }
        if (state == RunItemResult::State::Succeeded) entry.tookSeconds = results_[index].encodingSeconds;
        work.push_back(entry);
    }
    lastRemainingMs_ = nowMs();
    const QueueEstimate estimate = estimateQueue(work, workClock_.workedSeconds(), static_cast<int>(parallel_));
    // A run of one shows its item's own percent, which its parser has already shown.
    if (progress_.itemCount > 1) {
        progress_.overallPercent = estimate.percent;
        observer_.showOverallProgress(std::to_string(estimate.percent) + "%", estimate.percent);
    }
    // Until an item has made progress there is no pace to go by: the text stays as it was.
    if (!estimate.remainingSeconds) return;
    const double seconds = std::min(*estimate.remainingSeconds, 359999.0);
    observer_.showRemainingTime(formatDuration(static_cast<std::int32_t>(std::lround(seconds)), DurationStyle::Timer));
}

void QueueController::watchdogTick() {
    // A paused encoder stands still on purpose.
    if (paused_) return;
    // Copied: a job that fails leaves active_.
    std::vector<unsigned> ids;
    for (const auto& [id, job] : active_) ids.push_back(id);
    bool failed = false;
    for (const unsigned id : ids) {
        Job* job = activeJob(id);
        if (job != nullptr && job->phase == Job::Phase::Encoding) failed = watchdogFailed(*job) || failed;
    }
    if (failed) launchNextItem();
}

bool QueueController::watchdogFailed(Job& job) {
    const std::uint64_t size = fileBytes(job.temporaryPath);
    const std::uint32_t now = nowMs();
    if (size != job.lastSize) {
        job.lastSize = size;
        job.lastChangeMs = now;
    }
    // A renderer that died leaves the movie unfinished, and the encoder perhaps waiting for frames.
    if (job.grabber) {
        if (const std::optional<int> status = job.grabber->endedStatus(); status && *status != 0) {
            failItem(job, FlashGrabber::failureText(*status));
            return true;
        }
    }
    if (job.sizeLimit > 0 && size > job.sizeLimit) {
        failItem(job, "출력 파일이 설정한 비트레이트로 예상한 크기의 세 배를 넘어 중지했습니다 (" +
                          std::to_string(size >> 20) + " MB)");
        return true;
    }
    if (stallSeconds_ > 0 && now - job.lastChangeMs >= static_cast<std::uint64_t>(stallSeconds_) * 1000) {
        failItem(job, "진행이 멈췄습니다 (" + std::to_string(stallSeconds_) + "초)");
        return true;
    }
    return false;
}

void QueueController::encoderExited(Job& job) {
    job.phase = Job::Phase::Finishing;
    results_[job.runIndex].encodingSeconds = workClock_.workedSeconds() - results_[job.runIndex].startedAtWork;
    job.runner->stop();  // the child has ended: this only joins its threads
    const int status = job.runner->exitStatus().value_or(-1);
    job.runner.reset();
    SourceItem* item = itemOf(job);
    RunItemResult& result = results_[job.runIndex];
    if (item != nullptr) {
        item->elapsedMs = nowMs() - item->startTick;
        // Trailing output without a line end still counts: it may be the closing line.
        for (const std::string& line : job.lines.append("\n")) {
            applyUpdate(job, job.parser.parseLine(line, *item, progress_, {runActive_, stopRequested_, nowMs()}));
        }
    }
    std::string encoderProblem;
    if (status != 0) encoderProblem = explainEncoderFailure(result.outputTail, status, job.encoderName);
    observer_.showStatus("출력 파일 확인 중");

    ++pendingWork_;
    // Ending flashgrab, post-processing, the probe and the rename may each take seconds: the
    // worker does them, and the item's verdict comes back as an event.
    const std::uint64_t size = fileBytes(job.temporaryPath);
    const auto postLimit = kPostProcessBaseLimit + std::chrono::seconds(size / kPostProcessBytesPerSecond);
    worker_->post([this, id = job.id, grabber = std::move(job.grabber), cancellation = job.cancellation,
                   temporary = job.temporaryPath, final = job.finalPath, workFiles = job.workFiles,
                   promise = job.promise, expectedFrames = job.expectedFrames, encoderProblem,
                   container = settings_.container, programFolder = context_.placeholders.programFolder,
                   measurer = findProgram(context_.placeholders.programFolder, "ffmpeg"), postLimit]() mutable {
        std::string problem = encoderProblem;
        if (grabber) {
            const FlashGrabber::Ending ending = grabber->finish(kGrabberEndLimit);
            grabber.reset();
            if (!problem.empty()) {
            } else if (ending.status != 0) {
                problem = FlashGrabber::failureText(ending.status);
            } else if (expectedFrames > 0 && ending.frames >= 0 && ending.frames < expectedFrames) {
                problem = "flashgrab이(가) 프레임 " + std::to_string(ending.frames) + " / " +
                          std::to_string(expectedFrames) + "개만 보냈습니다";
            }
        }
        std::string published;
        std::string notes;
        if (problem.empty()) {
            // A tool that failed leaves the file as it was: the check below still judges it, and
            // the log says what the tool did.
            notes = postProcessWithin(container, temporary, programFolder, postLimit, cancellation.get());
            MediaSummary facts;
            queryOutputFacts(MediaInfoLibrary::instance(), temporary, facts);
            if (facts.videoStreamCount + facts.audioStreamCount == 0 ||
                (promise.seconds > 0 && facts.durationExact <= 0)) {
                measureOutputWithFfmpeg(measurer, temporary, postLimit, facts);
            }
            problem = outputShortfall(facts, promise);
        }
        if (problem.empty() && !cancellation->cancelled()) published = publishOutput(temporary, final, &problem);
        if (published.empty()) removeFile(temporary);
        for (const std::string& file : workFiles) removeFile(file);
        Event event{Event::Kind::Finished, id, problem};
        event.succeeded = !published.empty();
        event.path = published;
        event.notes = std::move(notes);
        post(std::move(event));
    });

    // The next item encodes while this one is checked: the check's time is hidden behind it.
    if (item != nullptr) countFinished(*item);
    const auto found = active_.find(job.id);
    finishing_.emplace(job.id, std::move(found->second));
    active_.erase(found);
    launchNextItem();
}

void QueueController::itemFinished(const Event& event) {
    --pendingWork_;
    const auto found = finishing_.find(event.job);
    if (found == finishing_.end()) return;
    const std::unique_ptr<Job> job = std::move(found->second);
    finishing_.erase(found);
    if (job->log) {
        if (!event.notes.empty()) job->log->append("\n" + event.notes);
        job->log->appendLine(event.succeeded ? "\n=> " + event.path : "\n=> 실패: " + event.chunk);
    }
    RunItemResult& result = results_[job->runIndex];
    SourceItem* item = list_.findItem(runKeys_[job->runIndex]);
    const int row = list_.rowOfKey(runKeys_[job->runIndex]);
    if (event.succeeded) {
        result.state = RunItemResult::State::Succeeded;
        result.outputPath = event.path;
        lastOutputPath_ = event.path;
        if (item != nullptr) {
            item->outputPath = event.path;
            item->percent = 100;
        }
        // A run of one counts its percent by the item's own.
        if (progress_.itemCount == 1) {
            progress_.overallPercent = 100;
            observer_.showOverallProgress("100%", 100);
        }
        if (row >= 0) {
            const auto shownRow = static_cast<std::size_t>(row);
            const std::string name(fileNamePart(event.path));
            list_.setProgressText(shownRow, "100%");
            observer_.setCellText(shownRow, column(SourceColumn::Progress), "100%");
            list_.setOutputText(shownRow, name);
            observer_.setCellText(shownRow, column(SourceColumn::OutputFile), name);
        }
        // Checked after a stop, the item shows in its row only: the progress area stays idle.
        if (active_.empty() && runActive_) {
            observer_.showCurrentProgress("100%", 100);
            observer_.showRemainingTime("00:00:00");
        }
        if (runActive_) observer_.showStatus("아이템 변환완료");
        observer_.resultsChanged();
    } else {
        markFailed(result, event.chunk);
    }
    if (outcome_) {
        // A stopped run let the items it had finished encoding be checked: count them now.
        tallyOutcome(*outcome_);
    } else {
        launchNextItem();
    }
}

void QueueController::tallyOutcome(RunOutcome& outcome) const {
    outcome.succeeded = 0;
    outcome.failed = 0;
    for (const RunItemResult& result : results_) {
        if (result.state == RunItemResult::State::Succeeded) ++outcome.succeeded;
        if (result.state == RunItemResult::State::Failed) ++outcome.failed;
    }
}

void QueueController::countFinished(SourceItem& item) {
    // The processed bytes count towards the overall progress whatever the result.
    item.doneBytes = item.fileSize;
    overallProgress(item, progress_);
    progress_.finishedBytes = progress_.overallDone;
    showQueueRemaining();
}

void QueueController::markFailed(RunItemResult& result, const std::string& reason) {
    result.state = RunItemResult::State::Failed;
    result.reason = reason;
    result.outputPath.clear();
    const std::size_t index = static_cast<std::size_t>(&result - results_.data());
    const int row = list_.rowOfKey(runKeys_[index]);
    if (SourceItem* item = list_.findItem(runKeys_[index])) item->outputPath.clear();
    if (row >= 0) {
        list_.setProgressText(static_cast<std::size_t>(row), "실패");
        list_.setResultText(static_cast<std::size_t>(row), "실패: " + reason);
        observer_.setCellText(static_cast<std::size_t>(row), column(SourceColumn::Progress), "실패");
    }
    if (runActive_) observer_.showStatus("아이템 변환실패");
    observer_.resultsChanged();
}

void QueueController::failItem(Job& job, const std::string& reason) {
    const std::size_t index = job.runIndex;
    discardJob(job.id, "실패: " + reason);
    markFailed(results_[index], reason);
    if (SourceItem* item = list_.findItem(runKeys_[index])) countFinished(*item);
}

void QueueController::discardJob(unsigned id, const std::string& reason) {
    const auto found = active_.find(id);
    if (found == active_.end()) return;
    std::unique_ptr<Job> job = std::move(found->second);
    active_.erase(found);
    if (job->log) job->log->appendLine("\n=> " + reason);
    job->cancellation->cancel();
    // Ending an encoder takes up to a few seconds (SIGTERM, then SIGKILL): the worker waits.
    ++pendingWork_;
    worker_->post([this, job = std::shared_ptr<Job>(std::move(job))] {
        if (job->runner) job->runner->stop();
        job->grabber.reset();
        removeFile(job->temporaryPath);
        for (const std::string& file : job->workFiles) removeFile(file);
        post({Event::Kind::Settled, job->id, {}});
    });
}

void QueueController::requestStop(bool alwaysAsk) {
    if (!runActive_ || stopRequested_) return;
    const unsigned run = runNumber_;
    if (alwaysAsk || options_.getOption("confirmbeforestop", "n") == "y") {
        // The encoders wait while the question is open: "아니요" must not find the run moved on.
        const bool pausedBefore = paused_;
        pause();
        const bool stop = observer_.askYesNo("질문", "동영상 변환을 중지 하시겠습니까?");
        // The run may have ended (or another begun) while the question was open.
        if (!runActive_ || stopRequested_ || run != runNumber_) return;
        if (!stop) {
            if (!pausedBefore) resume();
            return;
        }
    }
    observer_.showStopping();
    stopRequested_ = true;
    // The encoder may print nothing for a long time: the stop takes effect now.
    runEnded();
}

void QueueController::runEnded() {
    clock_.reset();
    std::vector<std::size_t> underWay;
    while (!active_.empty()) {
        underWay.push_back(active_.begin()->second->runIndex);
        discardJob(active_.begin()->first, "중지됨");
    }
    observer_.setRunningUi(false);

    RunOutcome outcome;
    outcome.stopped = stopRequested_;
    // Only a stop leaves items under way; a run that ran out has none.
    if (!outcome.stopped) underWay.clear();
    for (const std::size_t index : underWay) {
        RunItemResult& current = results_[index];
        current.state = RunItemResult::State::Stopped;
        current.reason = "변환이 중지되어 출력 파일을 남기지 않았습니다.";
        current.outputPath.clear();
        if (const int row = list_.rowOfKey(runKeys_[index]); row >= 0) {
            const auto shownRow = static_cast<std::size_t>(row);
            list_.setProgressText(shownRow, "중지됨");
            list_.setResultText(shownRow, "중지됨: " + current.reason);
            observer_.setCellText(shownRow, column(SourceColumn::Progress), "중지됨");
        }
    }
    if (outcome.stopped) observer_.showRunStopped();
    tallyOutcome(outcome);
    paused_ = false;
    observer_.resultsChanged();
    outcome.action = chooseCompletionAction(!runActive_, outcome.stopped, powerOffAfterRun, exitAfterRun,
                                            options_.getOption("finishalert", "y"));
    if (outcome.stopped) {
        stopRequested_ = false;
        runActive_ = false;
        observer_.showMessage("안내", "동영상 변환이 중지 되었습니다.", MessageIcon::Information);
    } else if (outcome.action == CompletionAction::FinishDialog) {
        observer_.showStatus("작업완료");
    }
    outcome_ = outcome;
}

}  // namespace torvane
