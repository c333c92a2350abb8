#pragma once

namespace torvane {

class RunObserver;
class SourceList;

// "선택제거": refuses with a reminder when nothing is selected, asks before removing.
// Returns the row to remember as clicked afterwards: 0 when rows remain, -1 when the list is
// empty, or unchangedRow when nothing was removed.
int removeSelectedSources(SourceList& list, RunObserver& observer, int unchangedRow);

// "전체제거": asks before emptying a list that has rows; true when the list was emptied.
bool removeAllSources(SourceList& list, RunObserver& observer);

}  // namespace torvane
