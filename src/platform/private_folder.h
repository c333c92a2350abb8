#pragma once

#include <string>

namespace torvane {

// A folder (not a link) owned by this user that nobody else may enter: the only kind of folder
// we put work files and downloads with known names into.
bool isPrivateFolderOfOurs(const std::string& folder);

// The user's private temporary folder: $XDG_RUNTIME_DIR/torvane, else /tmp/torvane<uid>, made
// with mode 0700 when missing; empty when it exists but is not a private folder of ours (another
// user may have made it first to watch or replace what we write there).
std::string privateTemporaryFolder();

}  // namespace torvane
