#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "run/queue_journal.h"

namespace torvane {

class EncodeSettings;
class MediaInfoLibrary;
class QueueController;
class RunObserver;
class SourceList;

// Keeps the journal of the list a program converts, so that a crash, a kill or a power cut
// costs no more than the item that was encoding: after each step of a run it records every
// item's state, and at the next start it gives back what an interrupted run left.
class QueueJournalKeeper {
public:
    // Takes the journal for this program. When another program holds it, or its folder cannot
    // be made, the keeper keeps nothing and message() says why.
    explicit QueueJournalKeeper(std::string path = queueJournalPath());

    bool keeping() const { return lock_ != nullptr; }
    const std::string& message() const { return message_; }
    const std::string& path() const { return path_; }

    // The journal an earlier run left; nothing when the keeper keeps nothing.
    JournalLoad loadEarlier() const;

    // Records the run's items and their states, with the settings and output folder the run
    // was started with; writes only when something changed since the last record, and removes
    // the journal once nothing is left to convert. False with *error when the journal could not
    // be written (the run goes on without it).
    bool record(const SourceList& list, const QueueController& controller, const EncodeSettings& settings,
                const OutputFolderChoice& output, std::string* error);

    // Records the list between runs (files added, removed, moved, a range or the settings
    // changed): every row waiting, but those `lastRun` converted (none for a test encode) and
    // those restored done. A list with nothing left to convert has its journal removed.
    bool recordList(const SourceList& list, const QueueController* lastRun, const EncodeSettings& settings,
                    const OutputFolderChoice& output, std::string* error);

    // The run is over: a list with nothing left to convert needs no journal; one with items
    // still waiting or stopped keeps it, to be offered back.
    void runOver();
    // Removes the journal (the list was declined, or the program closes normally).
    void forget();

private:
    bool write(const QueueJournal& journal, std::string* error);

    std::string path_;
    std::unique_ptr<QueueJournalLock> lock_;
    std::string message_;
    std::string lastWritten_;
    bool unfinished_ = false;
    bool onDisk_ = false;  // a journal written by this keeper is there
    // When each running item (by its key) was first seen running, in seconds since the epoch.
    std::map<std::string, double> started_;
};

// Puts an interrupted run's list back into `list`: each source probed again, with its range,
// sound and subtitle as they were; an item that was done, and whose output is still there, is
// marked so that the next run passes it over. Sources that are gone are left out: their paths
// come back.
std::vector<std::string> restoreJournalList(const QueueJournal& journal, SourceList& list, MediaInfoLibrary& library,
                                            RunObserver& observer);

// Gives the list's row (just added for the entry's source) what the journal held for it. An
// item that was running when the run was cut off, and whose output was published before the
// journal could say so (a file under its name, or a numbered one, written since it started), is
// done all the same: it is never converted twice.
void applyJournalEntry(const JournalEntry& entry, SourceList& list, std::size_t row);

}  // namespace torvane
