#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

struct PresetGroup {
    std::string name;  // the folder's own name
    std::string path;
};

struct Preset {
    std::string path;
    std::string displayName;  // the profile's info_subject
};

// One level of the preset tree: the subfolders of a folder are groups, and every other entry
// is a preset, whatever its name. Groups come first; each list is in byte order of the names
// (the order a Windows listing of an NTFS folder gives, and a stable one on Linux).
struct PresetFolderLevel {
    std::vector<PresetGroup> groups;
    std::vector<Preset> presets;
};

// Reads one folder; a missing or unreadable folder gives an empty level.
PresetFolderLevel readPresetFolder(const std::string& folder);

// The group folders from the preset folder down to a preset, outermost first ("기기설정",
// "스마트폰 태블릿"); empty for a preset lying directly in the folder or outside it.
std::vector<std::string> presetGroupsOf(const std::string& presetFolder, const std::string& presetPath);

// The groups that open by themselves when the tree is first shown.
bool isGroupExpandedAtStart(std::string_view groupName);

}  // namespace torvane
