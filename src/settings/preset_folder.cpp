#include "settings/preset_folder.h"

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

}  // namespace torvane
