#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command/output_naming.h"
#include "settings/encode_settings.h"

namespace torvane {

// Where one item of the list stands in the journal.
enum class JournalState { Waiting, Running, Done, Failed, Stopped };

// One item of the list with what is needed to put it back: the source and the choices made for
// it, and how far its conversion got.
struct JournalEntry {
    std::string sourcePath;
    // The part of the source to convert, as SourceItem holds it; an end of 0 is the source's end.
    double rangeStartSeconds = 0.0;
    double rangeEndSeconds = 0.0;
    bool keepSound = true;
    std::string subtitlePath;
    JournalState state = JournalState::Waiting;
    std::string outputPath;  // Done: the published file; Running: the name it is meant to get
    std::string reason;      // Failed: why, as the user was told
    // Running: when it started (seconds since the epoch). An item cut off between publishing its
    // output and the journal saying so is recognised by that output being newer.
    double startedAt = 0.0;
    // Loaded from a Running entry: the name it was meant to get (outputPath is then cleared).
    std::string interruptedOutput;
};

// The list and the settings its run was started with.
struct QueueJournal {
    EncodeSettings settings;  // profilePath names the preset it came from
    OutputFolderChoice output;
    std::vector<JournalEntry> entries;
};

// <defaultStateFolder()>/queue.ini
std::string queueJournalPath();

// The journal as the text of its file: INI lines whose values escape every byte that could end
// or split a line (any byte but NUL may be in a path, and names need not be UTF-8), closed by
// a checksum line over everything before it, so that a cut anywhere is seen.
std::string queueJournalText(const QueueJournal& journal);
// The journal of a file's text; nullopt when the text is not one whole journal. Keys it does
// not know are passed over, and a setting it lacks takes the default a profile gives it.
std::optional<QueueJournal> parseQueueJournalText(std::string_view text);

// Replaces the journal atomically: a temporary file beside it, created exclusively, fsync'd,
// renamed over the journal, then the folder fsync'd; the folder is made when missing. A crash
// at any moment leaves the previous journal or this one. False with *error on failure; the
// previous journal is then left as it was. Call it while holding the QueueJournalLock.
bool writeQueueJournal(const std::string& path, const QueueJournal& journal, std::string* error);

struct JournalLoad {
    enum class Outcome {
        None,      // there is no journal
        Loaded,    // journal holds it
        SetAside,  // unreadable: moved out of the way, message says where
    };
    Outcome outcome = Outcome::None;
    QueueJournal journal;
    // SetAside: "<path>.corrupt-YYYYMMDD-HHMMSS[-N]"; empty when it could not be moved either.
    std::string setAsidePath;
    std::string message;  // SetAside: for the user
};

// Reads the journal of an earlier run. An item that was running when that run ended starts
// again from zero: it comes back Waiting, without an output (interruptedOutput and startedAt
// say where its output would have gone and since when). Anything that is not a whole
// journal (cut short, damaged, not a regular file) is renamed aside, never replacing a file,
// so the next write starts afresh and the damaged copy can still be looked at.
JournalLoad loadQueueJournal(const std::string& path);

// Deletes the journal (a run that ended with everything done, or a cleared list); false when
// one is still there afterwards.
bool removeQueueJournal(const std::string& path);

// True when the journal holds an item not yet converted (waiting, interrupted or stopped): a
// reason to offer the list back. Done and failed items are over.
bool hasUnfinishedWork(const QueueJournal& journal);

// The right to restore and write one journal. Two programs writing one journal would each
// replace the other's list, and a second program restoring a list still being converted would
// convert it twice, so only the holder of this lock reads, writes or removes the journal; any
// other program runs without one. The lock is an flock on "<journal>.lock", which the kernel
// lets go however the holder ends (a crash, SIGKILL), so it never needs breaking.
class QueueJournalLock {
public:
    // nullptr with a message for the user when another program holds the lock (*busy then
    // true) or the lock file cannot be made. Taking it removes temporaries of writes that an
    // earlier holder did not finish.
    static std::unique_ptr<QueueJournalLock> acquire(const std::string& journalPath, std::string* message,
                                                     bool* busy = nullptr);

    ~QueueJournalLock();
    QueueJournalLock(const QueueJournalLock&) = delete;
    QueueJournalLock& operator=(const QueueJournalLock&) = delete;

private:
    explicit QueueJournalLock(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace torvane
