#pragma once

#include <string>

#include "media/source_item.h"

namespace torvane {

class MediaInfoLibrary;
class OptionStore;
class RunObserver;
class SourceList;

inline constexpr std::string_view kNotMediaMessage = "멀티미디어 파일이 아닙니다.";

// Adds one file to the end of the list and makes its row the only selected one. Missing,
// unreadable and empty files and folders are skipped without a message; a file with neither a
// video nor an audio stream the library can read (other than SWF and MMF, which the library
// cannot see into) is refused with a message. When rememberIn is given, the file's folder is stored there as
// "lastopenfolder" (the application remembers it; a terminal probe leaves the store alone).
// Returns true when a row was added.
bool addSourceFile(SourceList& list, const std::string& path, MediaInfoLibrary& library, RunObserver& observer,
                   const OptionStore* rememberIn);

// addSourceFile in two halves, so the probe (the slow half) can run on another thread while
// the list stays with its owner.
struct ProbedSource {
    enum class Verdict { Skipped, NotMedia, Media };
    Verdict verdict = Verdict::Skipped;
    SourceItem item;
};
// Touches nothing but the file and the library.
ProbedSource probeSourceFile(const std::string& path, MediaInfoLibrary& library);
// The rest of addSourceFile for a probe's result.
bool acceptProbedSource(SourceList& list, const std::string& path, ProbedSource probed, RunObserver& observer,
                        const OptionStore* rememberIn);

}  // namespace torvane
