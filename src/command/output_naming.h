#pragma once

#include <string>
#include <string_view>

namespace torvane {

class EncodeSettings;
struct ContainerEntry;
struct SourceItem;

// Where converted files go: the chosen folder, or each source's own folder.
struct OutputFolderChoice {
    std::string folder;
    bool sameFolderAsSource = false;
};

// The output and working input paths as the command line names them.
struct CommandPaths {
    std::string outputPath;
    std::string inputPath;  // the source, or the prepared work copy; empty when there is none
};

// The output's file name from the settings' filename pattern: "{ori_name}" is the source's name
// without its extension, "{base_ext}" the format's extension without its dot. A pattern that
// names folders gives its last component only.
std::string outputFileName(const EncodeSettings& settings, const SourceItem& item, const ContainerEntry& container);

// Names the output from the settings' filename pattern ({ori_name}, {base_ext}), in the
// chosen folder, never over an existing file ("name(1).ext" and so on), and stores it as the
// item's outputPath. With a temporary tag, the encoder writes a hidden temporary beside that
// name instead (the item's encodingPath), which the run publishes once it has been checked.
// Doubled separators are collapsed in the returned paths, except a leading pair.
CommandPaths makeOutputPath(const EncodeSettings& settings, SourceItem& item, const ContainerEntry& container,
                            const OutputFolderChoice& folder, std::string_view temporaryTag = {});

// The first of folder/name(1).ext, name(2).ext, ... at which nothing exists.
std::string uniqueFileName(const std::string& path);

// The hidden temporary an output is encoded into beside its final path, keeping the final
// extension last so the encoder picks the same container it would for the final name:
// "dir/.name.<tag>.ext".
std::string temporaryOutputPath(std::string_view finalPath, std::string_view tag);

// Doubled "/" made single, except at the start of the path.
std::string collapseDoubledSeparators(const std::string& path);

}  // namespace torvane
