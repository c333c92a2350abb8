#pragma once

#include <string>

namespace torvane {

// The data files that ship in the program folder.
std::string presetFolderOf(const std::string& programFolder);
std::string catalogueFileOf(const std::string& programFolder);
std::string defaultProfileOf(const std::string& programFolder);

}  // namespace torvane
