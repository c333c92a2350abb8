#include "run/queue_journal_keeper.h"

#include <sys/stat.h>
#include <cstdint>
#include <ctime>
#include <map>

#include "media/source_item.h"
#include "platform/file_system.h"
#include "run/add_source_file.h"
#include "run/output_publish.h"
#include "run/queue_controller.h"
#include "run/source_list.h"

namespace torvane {
namespace {

JournalState journalStateOf(RunItemResult::State state) {
    switch (state) {
        case RunItemResult::State::Waiting:
            return JournalState::Waiting;
        case RunItemResult::State::Converting:
            return JournalState::Running;
        case RunItemResult::State::Succeeded:
            return JournalState::Done;
        case RunItemResult::State::Failed:
            return JournalState::Failed;
        case RunItemResult::State::Stopped:
            return JournalState::Stopped;
    }
    return JournalState::Waiting;
}

}  // namespace

QueueJournalKeeper::QueueJournalKeeper(std::string path) : path_(std::move(path)) {
    lock_ = QueueJournalLock::acquire(path_, &message_);
}

JournalLoad QueueJournalKeeper::loadEarlier() const {
    if (!keeping()) return {};
    return loadQueueJournal(path_);
}

bool QueueJournalKeeper::record(const SourceList& list, const QueueController& controller,
                                const EncodeSettings& settings, const OutputFolderChoice& output, std::string* error) {
    if (!keeping()) return true;
    QueueJournal journal;
    journal.settings = settings;
    journal.output = output;
    for (const RunItemResult& result : controller.results()) {
        const SourceItem* item = list.findItem(result.key);
        if (item == nullptr) continue;
        JournalEntry entry;
        entry.sourcePath = item->sourcePath;
        entry.rangeStartSeconds = item->rangeStartSeconds;
        entry.rangeEndSeconds = item->rangeEndSeconds;
        entry.keepSound = item->keepSound;
        entry.subtitlePath = item->subtitlePath;
        entry.state = journalStateOf(result.state);
        if (entry.state == JournalState::Done) entry.outputPath = result.outputPath;
        if (entry.state == JournalState::Running) {
            entry.outputPath = result.outputPath;
            const auto [started, fresh] = started_.try_emplace(result.key, 0.0);
            if (fresh) started->second = static_cast<double>(std::time(nullptr));
            entry.startedAt = started->second;
        } else {
            // Converted again in a later run, it starts afresh.
            started_.erase(result.key);
        }
        if (entry.state == JournalState::Failed) entry.reason = result.reason;
        journal.entries.push_back(std::move(entry));
    }
    return write(journal, error);
}

bool QueueJournalKeeper::recordList(const SourceList& list, const QueueController* lastRun,
                                    const EncodeSettings& settings, const OutputFolderChoice& output,
                                    std::string* error) {
    if (!keeping()) return true;
    std::map<std::string, std::string> converted;
    if (lastRun != nullptr) {
        for (const RunItemResult& result : lastRun->results()) {
            if (result.state == RunItemResult::State::Succeeded) converted[result.key] = result.outputPath;
        }
    }
    QueueJournal journal;
    journal.settings = settings;
    journal.output = output;
    for (std::size_t row = 0; row < list.rowCount(); ++row) {
        const SourceItem& item = *list.item(row);
        JournalEntry entry;
        entry.sourcePath = item.sourcePath;
        entry.rangeStartSeconds = item.rangeStartSeconds;
        entry.rangeEndSeconds = item.rangeEndSeconds;
        entry.keepSound = item.keepSound;
        entry.subtitlePath = item.subtitlePath;
        const auto done = converted.find(list.keyOfRow(row));
        if (done != converted.end() && isFileNotFolder(done->second)) {
            entry.state = JournalState::Done;
            entry.outputPath = done->second;
        } else if (item.doneBeforeRestore) {
            entry.state = JournalState::Done;
            entry.outputPath = item.outputPath;
        }
        journal.entries.push_back(std::move(entry));
    }
    return write(journal, error);
}

bool QueueJournalKeeper::write(const QueueJournal& journal, std::string* error) {
    // A list with nothing left to convert is nothing to offer back.
    if (!hasUnfinishedWork(journal)) {
        if (onDisk_) forget();
        return true;
    }
    // Every second of a run asks; the file is written (and synced) only when a state changed.
    std::string text = queueJournalText(journal);
    if (onDisk_ && text == lastWritten_) return true;
    if (!writeQueueJournal(path_, journal, error)) return false;
    lastWritten_ = std::move(text);
    onDisk_ = true;
    unfinished_ = hasUnfinishedWork(journal);
    return true;
}

void QueueJournalKeeper::runOver() {
    if (keeping() && onDisk_ && !unfinished_) forget();
}

void QueueJournalKeeper::forget() {
    if (!keeping()) return;
    removeQueueJournal(path_);
    onDisk_ = false;
    unfinished_ = false;
}

std::vector<std::string> restoreJournalList(const QueueJournal& journal, SourceList& list, MediaInfoLibrary& library,
                                            RunObserver& observer) {
    std::vector<std::string> missing;
    for (const JournalEntry& entry : journal.entries) {
        if (!addSourceFile(list, entry.sourcePath, library, observer, nullptr)) {
            missing.push_back(entry.sourcePath);
            continue;
        }
        applyJournalEntry(entry, list, list.rowCount() - 1);
    }
    return missing;
}

namespace {

// The output an interrupted item published just before its run was cut off: under its name or a
// numbered one, modified since the item started (a second's slack for the clock's grain). The
// newest such file is its own.
std::string publishedBeforeTheCut(const JournalEntry& entry) {
    if (entry.interruptedOutput.empty() || entry.startedAt <= 0) return {};
    std::string newest;
    std::int64_t newestTime = 0;
    for (int number = 0; number < 1000; ++number) {
        const std::string candidate = numberedOutputName(entry.interruptedOutput, number);
        struct stat facts {};
        if (::stat(candidate.c_str(), &facts) != 0) {
            if (number > 0) break;
            continue;
        }
        if (!S_ISREG(facts.st_mode) || facts.st_mtime + 1 < static_cast<std::int64_t>(entry.startedAt)) continue;
        if (newest.empty() || facts.st_mtime >= newestTime) {
            newest = candidate;
            newestTime = facts.st_mtime;
        }
    }
    return newest;
}

}  // namespace

void applyJournalEntry(const JournalEntry& entry, SourceList& list, std::size_t row) {
    SourceItem& item = *list.item(row);
    item.rangeStartSeconds = entry.rangeStartSeconds;
    item.rangeEndSeconds = entry.rangeEndSeconds;
    item.keepSound = entry.keepSound;
    // The subtitle chosen then, if it is still there; else whatever discovery found now.
    if (!entry.subtitlePath.empty() && isFileNotFolder(entry.subtitlePath)) item.subtitlePath = entry.subtitlePath;
    std::string done = entry.state == JournalState::Done ? entry.outputPath : publishedBeforeTheCut(entry);
    if (!done.empty() && isFileNotFolder(done)) {
        item.outputPath = done;
        item.doneBeforeRestore = true;
        list.setProgressText(row, "100%");
        list.setOutputText(row, std::string(fileNamePart(done)));
    }
}

}  // namespace torvane
