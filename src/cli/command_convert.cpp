#include <pthread.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "cli/conversion_setup.h"
#include "cli/json_events.h"
#include "cli/terminal_progress.h"
#include "media/mediainfo_library.h"
#include "platform/file_system.h"
#include "run/add_source_file.h"
#include "run/queue_controller.h"
#include "run/queue_journal_keeper.h"
#include "run/source_list.h"

namespace torvane::cli {
namespace {

// Ctrl-C, SIGTERM and SIGHUP (the terminal closed) become a stop request: a thread of its own
// waits for them, so the handling is ordinary code rather than a signal handler. The run then
// ends as a shell expects of a program ended by that signal: 128 + its number. Ctrl-Z (SIGTSTP)
// and the shell's fg or bg (SIGCONT) pause and continue the run: the encoders run in process
// groups of their own, which the terminal's job control does not reach.
class InterruptWatch {
public:
    explicit InterruptWatch(OwnerWakeup& wakeup) {
        sigemptyset(&signals_);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT}) {
            sigaddset(&signals_, signal);
            // A shell starts background jobs with SIGINT ignored (nohup ignores SIGHUP), and an
            // ignored signal never reaches sigwait: whoever sends it here means it.
            std::signal(signal, SIG_DFL);
        }
        // With the terminal gone, writing the results fails with EIO or EPIPE: the write is
        // lost, we are not.
        std::signal(SIGPIPE, SIG_IGN);
        // Blocked before any other thread starts, so every thread inherits the mask.
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        watcher_ = std::thread([this, &wakeup] {
            for (int signal = 0; sigwait(&signals_, &signal) == 0;) {
                if (signal == SIGTSTP || signal == SIGCONT) {
                    (signal == SIGTSTP ? suspendAsked_ : continued_) = true;
                    wakeup.wake();
                    continue;
                }
                signal_ = signal;
                wakeup.wake();
                return;
            }
        });
    }
    // A signal arriving after the run must not reach a watch that is gone: the watcher is woken
    // with a signal of its own and joined.
    ~InterruptWatch() {
        if (signal_ == 0) pthread_kill(watcher_.native_handle(), SIGTERM);
        watcher_.join();
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    bool interrupted() const { return signal_ != 0; }
    // Ctrl-Z came (once each): the run is to pause and the program to stop as a shell expects.
    bool takeSuspend() { return suspendAsked_.exchange(false); }
    // The program was continued (fg, bg or kill -CONT).
    bool takeContinue() { return continued_.exchange(false); }
    // The exit status of a run this signal stopped.
    int exitStatus() const { return 128 + (signal_ != 0 ? signal_.load() : SIGINT); }

private:
    sigset_t signals_;
    std::atomic<int> signal_{0};
    std::atomic<bool> suspendAsked_{false};
    std::atomic<bool> continued_{false};
    std::thread watcher_;
};

const char* stateText(RunItemResult::State state) {
    switch (state) {
        case RunItemResult::State::Succeeded:
            return "100%";
        case RunItemResult::State::Failed:
            return "실패";
        case RunItemResult::State::Stopped:
            return "중지됨";
        case RunItemResult::State::Converting:
            return "변환 중";
        case RunItemResult::State::Waiting:
            return "대기";
    }
    return "";
}

// The table that ends a run on the terminal: each item's verdict and output, and a failed item's log.
void printResults(const QueueController& controller, const std::vector<std::string>& names) {
    std::cout << "\n결과:\n";
    for (std::size_t row = 0; row < controller.results().size(); ++row) {
        const RunItemResult& result = controller.results()[row];
        std::cout << "  " << names[row] << "\t" << stateText(result.state);
        if (!result.reason.empty()) std::cout << " (" << result.reason << ")";
        std::cout << "\t" << result.outputPath << "\n";
        if (result.state == RunItemResult::State::Failed && !result.logPath.empty())
            std::cout << "    기록: " << result.logPath << "\n";
    }
    std::cout.flush();
}

// A shard that holds none of the files has nothing to do, and that is no failure: with many
// parts and a short list, some parts are empty.
int reportEmptyShard(const ConversionArguments& parsed) {
    std::cerr << "torvane-cli convert: no file of the list falls in shard " << parsed.shard->index << "/"
              << parsed.shard->count << "\n";
    if (parsed.json) {
        std::ostream discarded(nullptr);
        TerminalProgress quiet(discarded, std::cerr, false);
        JsonRunEvents(std::cout, quiet).finish(nullptr);
    }
    return kExitOk;
}

// The interrupted run that --resume goes on with; nullopt, after saying why, when there is none.
std::optional<QueueJournal> journalToResume(const QueueJournalKeeper& journal, int* exitCode) {
    if (!journal.keeping()) {
        *exitCode = failure("convert", journal.message());
        return std::nullopt;
    }
    JournalLoad load = journal.loadEarlier();
    if (load.outcome == JournalLoad::Outcome::Loaded) return std::move(load.journal);
    *exitCode = failure("convert", load.outcome == JournalLoad::Outcome::SetAside
                                       ? load.message
                                       : "no interrupted list to resume (" + journal.path() + ")");
    return std::nullopt;
}

}  // namespace

int runConvert(const CliContext& context, std::span<const std::string> arguments) {
    int exitCode = kExitOk;
    const auto parsed = parseConversionArguments("convert", context, arguments, &exitCode);
    if (!parsed) return exitCode;
    // The queue journal lets --resume go on after a crash. While another program holds it, this
    // run goes without one: the journal belongs to the program that holds its lock.
    QueueJournalKeeper journal;
    std::optional<QueueJournal> resumed;
    if (parsed->resume && !(resumed = journalToResume(journal, &exitCode))) return exitCode;
    const auto setup =
        prepareConversion("convert", context, *parsed, &exitCode, resumed ? &resumed->settings : nullptr);
    if (!setup) return exitCode;
    if (resumed) setup->commandContext.output = resumed->output;
    MediaInfoLibrary* binding = mediaInfoOrReport("convert");
    if (binding == nullptr) return kExitLibraryMissing;
    MediaInfoLibrary& library = *binding;
    if (parsed->files.empty() && parsed->shard) return reportEmptyShard(*parsed);

    // With --json, standard output carries the JSON lines alone: the progress lines go nowhere.
    std::ostream discarded(nullptr);
    TerminalProgress progress(parsed->json ? discarded : std::cout, std::cerr,
                              !parsed->json && ::isatty(STDOUT_FILENO) == 1);
    std::optional<JsonRunEvents> json;
    if (parsed->json) json.emplace(std::cout, progress);
    RunObserver& observer = json ? static_cast<RunObserver&>(*json) : progress;
    InterruptWatch interrupt(progress.wakeup);

    SourceList list;
    bool anyRefused = false;
    std::vector<std::string> names;
    std::vector<std::string> givenPaths;
    if (resumed) {
        for (const std::string& gone : restoreJournalList(*resumed, list, library, observer)) {
            std::cerr << gone << ": 이전 목록의 파일을 다시 추가하지 못했습니다\n";
            if (json) json->refused(gone, "이전 목록의 파일을 다시 추가하지 못했습니다");
            anyRefused = true;
        }
        for (std::size_t row = 0; row < list.rowCount(); ++row) {
            names.emplace_back(fileNamePart(list.item(row)->sourcePath));
            givenPaths.push_back(list.item(row)->sourcePath);
        }
    }
    for (const std::string& given : parsed->files) {
        const std::string path = sourcePathOf(given);
        const std::size_t messages = progress.messagesShown;
        std::string refusal;
        std::string problem;
        if (!addSourceFile(list, path, library, observer, nullptr)) {
            // The list's own message does not say which file it was about.
            refusal = progress.messagesShown == messages
                          ? "추가하지 못했습니다 (없거나, 읽을 수 없거나, 비어 있거나, 폴더입니다)"
                          : std::string(kNotMediaMessage);
        } else if (!applyRangeArguments(*parsed, *list.item(list.rowCount() - 1), &problem)) {
            refusal = problem;
            list.selectOnly(list.rowCount() - 1);
            list.removeSelected();
        }
        if (!refusal.empty()) {
            std::cerr << given << ": " << refusal << "\n";
            if (json) json->refused(given, refusal);
            anyRefused = true;
            continue;
        }
        names.emplace_back(fileNamePart(path));
        givenPaths.push_back(given);
    }
    if (list.rowCount() == 0) {
        if (json) json->finish(nullptr);
        return kExitFailed;
    }
    progress.setRowNames(names);
    if (json) json->setSources(std::move(givenPaths));

    CommandContext& commandContext = setup->commandContext;
    // ffmpeg writes into existing folders only: the chosen output folder is made for it.
    if (!commandContext.output.sameFolderAsSource && !makeFolders(commandContext.output.folder)) {
        return failure("convert", "cannot make the output folder " + commandContext.output.folder);
    }
    QueueController controller(list, setup->settings, commandContext, *setup->options, observer);
    if (parsed->testSeconds) controller.testEncodeSeconds = *parsed->testSeconds;
    if (parsed->jobs) controller.itemsAtOnce = *parsed->jobs;
    bool journalFailed = false;
    const auto recordJournal = [&] {
        // A test encode is a preview, not work to resume.
        if (parsed->testSeconds) return;
        std::string error;
        if (!journal.record(list, controller, setup->settings, commandContext.output, &error) && !journalFailed) {
            std::cerr << "torvane-cli convert: the queue journal cannot be written, a crash cannot be resumed: "
                      << error << "\n";
            journalFailed = true;
        }
    };
    controller.startRun(parsed->testSeconds.has_value());
    recordJournal();
    if (json) json->update(controller);
    while (controller.runActive()) {
        progress.wakeup.waitFor(std::chrono::seconds(1));
        if (interrupt.interrupted()) {
            controller.requestStop();
            break;
        }
        if (interrupt.takeSuspend()) {
            // The encoders are held first, then this program stops until the shell continues it.
            controller.pause();
            ::kill(::getpid(), SIGSTOP);
        }
        if (interrupt.takeContinue() && controller.paused()) controller.resume();
        controller.processEvents();
        recordJournal();
        if (json) json->update(controller);
    }
    // After a stop, items that had finished encoding are still being checked: their verdicts
    // belong in the table, and the stopped encoder is ended before we go.
    while (!controller.settled()) {
        progress.wakeup.waitFor(std::chrono::seconds(1));
        controller.processEvents();
        recordJournal();
        if (json) json->update(controller);
    }
    progress.finish();
    // Interrupted or stopped, the journal stays for --resume; with every item over it goes.
    journal.runOver();

    bool anyFailed = anyRefused;
    for (const RunItemResult& result : controller.results())
        anyFailed = anyFailed || result.state == RunItemResult::State::Failed;
    if (json) {
        json->finish(&controller);
    } else {
        printResults(controller, names);
    }
    if (controller.outcome() && controller.outcome()->stopped) return interrupt.exitStatus();
    return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace torvane::cli
