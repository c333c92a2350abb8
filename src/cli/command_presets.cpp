#include <iostream>

#include "cli/cli_command.h"
#include "platform/file_system.h"
#include "settings/preset_folder.h"
#include "settings/program_files.h"

namespace torvane::cli {
namespace {

// Groups as "[name]", presets as "display name<TAB>path", two blanks of indent per level:
// the tree the application shows, with every group opened.
void printLevel(const std::string& folder, int depth) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    const PresetFolderLevel level = readPresetFolder(folder);
    for (const PresetGroup& group : level.groups) {
        std::cout << indent << "[" << group.name << "]\n";
        printLevel(group.path, depth + 1);
    }
    for (const Preset& preset : level.presets) {
        std::cout << indent << preset.displayName << "\t" << preset.path << "\n";
    }
}

}  // namespace

int runPresets(const CliContext& context, std::span<const std::string> arguments) {
    if (!arguments.empty()) return usageError("presets", "takes no arguments");
    const std::string folder = presetFolderOf(context.programFolder);
    if (!isDirectory(folder)) return failure("presets", "no preset folder at " + folder);
    printLevel(folder, 0);
    return kExitOk;
}

}  // namespace torvane::cli
