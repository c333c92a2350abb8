#pragma once

#include <string>
#include <string_view>

namespace torvane {

// An item is encoded into a hidden file beside its final name and appears under that name only
// once it has been checked, so a stopped, failed or killed item never leaves a file that looks
// finished, and two runs writing into one folder never overwrite each other.

// A new tag for one temporary output of this process: "torvane-part-<pid>-<random hex>".
std::string temporaryOutputTag();

// Creates the temporary output exclusively (it must not exist yet); false with the reason.
bool createTemporaryOutput(const std::string& path, std::string* reason);

// The names a published output tries in turn: the name itself for 0, then "NAME(N).EXT".
std::string numberedOutputName(const std::string& finalPath, int number);

// Moves the checked temporary to the final name without ever replacing a file: when the name
// has been taken meanwhile (another run, another program), the next free "name(1).ext" is used.
// Returns the path the file now has, or empty with the reason when it could not be moved.
std::string publishOutput(const std::string& temporaryPath, const std::string& finalPath, std::string* reason);

// Removes temporary outputs in the folder whose process no longer runs (a crash, a power cut).
// Returns how many were removed.
int removeAbandonedTemporaryOutputs(const std::string& folder);

}  // namespace torvane
