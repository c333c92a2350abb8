#pragma once

#include <string>

namespace torvane {

// The folder of the option store: $TORVANE_CONFIG_DIR, else $XDG_CONFIG_HOME/torvane,
// else ~/.config/torvane.
std::string defaultConfigFolder();

// The folder for files we write for ourselves (the logo copy, work files): $XDG_CACHE_HOME/torvane,
// else ~/.cache/torvane. Never the program folder, which may be read-only.
std::string defaultCacheFolder();

// The folder for run-time state that must outlive the program (encoder logs, the queue's
// journal): $XDG_STATE_HOME/torvane, else ~/.local/state/torvane.
std::string defaultStateFolder();

// The user's documents folder: XDG_DOCUMENTS_DIR of ~/.config/user-dirs.dirs, else ~/Documents.
std::string documentsFolder();

// Where converted files go unless the user chooses: the documents folder's Torvane folder.
std::string defaultOutputFolder();

// The program's full path: the program folder's copy when it is executable, else the first
// executable of that name on $PATH; empty when there is none.
std::string findProgram(const std::string& programFolder, const std::string& name);

}  // namespace torvane
