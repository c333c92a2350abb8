#include "settings/program_files.h"

#include "platform/file_system.h"

namespace torvane {

std::string presetFolderOf(const std::string& programFolder) {
    return joinPath(programFolder, "preset");
}

std::string catalogueFileOf(const std::string& programFolder) {
    return joinPath(programFolder, "torvane.ini");
}

std::string defaultProfileOf(const std::string& programFolder) {
    return joinPath(programFolder, "common_avi.ini");
}

}  // namespace torvane
