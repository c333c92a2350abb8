#include "settings/preset_folder.h"

#include <filesystem>

#include "platform/file_system.h"
#include "settings/encode_settings.h"

namespace torvane {

PresetFolderLevel readPresetFolder(const std::string& folder) {
    PresetFolderLevel level;
    const FolderListing listing = listFolder(folder);
    for (const std::string& name : listing.folders) {
        level.groups.push_back({name, joinPath(folder, name)});
    }
    for (const std::string& name : listing.files) {
        EncodeSettings profile;
        const std::string path = joinPath(folder, name);
        profile.loadProfile(path);
        level.presets.push_back({path, profile.info_subject});
    }
    return level;
}

bool isGroupExpandedAtStart(std::string_view groupName) {
    return groupName == "+ 일반 파일변환" || groupName == "기기설정";
}

std::vector<std::string> presetGroupsOf(const std::string& presetFolder, const std::string& presetPath) {
    namespace fs = std::filesystem;
    if (presetFolder.empty() || presetPath.empty()) return {};
    const fs::path relative =
        fs::path(presetPath).lexically_normal().lexically_relative(fs::path(presetFolder).lexically_normal());
    std::vector<std::string> groups;
    for (const fs::path& part : relative) {
        // A path that climbs out of the folder is not one of its presets.
        if (part == "..") return {};
        groups.push_back(part.string());
    }
    if (!groups.empty()) groups.pop_back();  // the preset's own file name
    return groups;
}

}  // namespace torvane
