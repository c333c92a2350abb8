#include "command/output_naming.h"

#include <algorithm>

#include "command/command_text.h"
#include "media/source_item.h"
#include "platform/file_system.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"

namespace torvane {
namespace {

// The file name without its last extension (the whole name when it has no dot).
std::string stemOf(std::string_view path) {
    const std::string_view name = fileNamePart(path);
    const auto dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

// The pattern with its two placeholders filled in one pass over the pattern: text that comes
// from the source's own name ("a{base_ext}b.mp4") is never read as a placeholder.
std::string fillPattern(std::string_view pattern, std::string_view stem, std::string_view extension) {
    constexpr std::string_view kStem = "{ori_name}";
    constexpr std::string_view kExtension = "{base_ext}";
    std::string name;
    while (!pattern.empty()) {
        if (pattern.starts_with(kStem)) {
            name += stem;
            pattern.remove_prefix(kStem.size());
        } else if (pattern.starts_with(kExtension)) {
            name += extension;
            pattern.remove_prefix(kExtension.size());
        } else {
            name += pattern.front();
            pattern.remove_prefix(1);
        }
    }
    return name;
}

// A name that stays in the folder it is joined to.
bool isOneFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// The output's file name, always one name inside the output folder: a pattern that names
// folders gives its last component only (presets written on Windows may separate folders with
// a backslash), and a pattern that leaves no usable name gives the default pattern's name.
std::string expandFileNamePattern(const EncodeSettings& settings, const SourceItem& item,
                                  const ContainerEntry& container) {
    std::string extension = container.file_ext;
    if (extension.size() > 1 && extension.front() == '.') extension.erase(0, 1);
    const std::string stem = stemOf(item.sourcePath);
    std::string_view pattern = settings.filename;
    if (const auto slash = pattern.find_last_of("\\/"); slash != std::string_view::npos)
        pattern.remove_prefix(slash + 1);
    if (std::string name = fillPattern(pattern, stem, extension); isOneFileName(name)) return name;
    // The default pattern; only an odd catalogue extension or a nameless source needs more.
    std::string name = stem + "." + extension;
    std::replace(name.begin(), name.end(), '/', '_');
    if (!isOneFileName(name)) name = "_" + name;
    return name;
}

}  // namespace

std::string outputFileName(const EncodeSettings& settings, const SourceItem& item, const ContainerEntry& container) {
    return expandFileNamePattern(settings, item, container);
}

std::string collapseDoubledSeparators(const std::string& path) {
    if (path.starts_with("//")) return path;
    return replaceAll(path, "//", "/");
}

std::string uniqueFileName(const std::string& path) {
    const std::string folder(parentFolder(path));
    const std::string_view name = fileNamePart(path);
    const auto dot = name.rfind('.');
    const std::string stem(dot == std::string_view::npos ? name : name.substr(0, dot));
    const std::string extension(dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1));
    for (unsigned long n = 1;; ++n) {
        std::string candidate = folder + "/" + stem + "(" + std::to_string(n) + ")." + extension;
        if (!pathExists(candidate)) return candidate;
    }
}

std::string temporaryOutputPath(std::string_view finalPath, std::string_view tag) {
    const std::string folder(parentFolder(finalPath));
    const std::string_view name = fileNamePart(finalPath);
    const auto dot = name.rfind('.');
    const std::string_view stem = dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string_view extension = stem.size() == name.size() ? std::string_view{} : name.substr(dot);
    // Long names stay within the 255 bytes a file name may have.
    const std::size_t room = 255 - std::min<std::size_t>(255, 2 + tag.size() + extension.size());
    std::string shortStem(stem.substr(0, std::min(stem.size(), room)));
    return (folder.empty() ? std::string() : folder + "/") + "." + shortStem + "." + std::string(tag) +
           std::string(extension);
}

CommandPaths makeOutputPath(const EncodeSettings& settings, SourceItem& item, const ContainerEntry& container,
                            const OutputFolderChoice& folder, std::string_view temporaryTag) {
    const std::string outputFolder =
        folder.sameFolderAsSource ? std::string(parentFolder(item.sourcePath)) : folder.folder;
    std::string path = outputFolder + "/" + expandFileNamePattern(settings, item, container);
    if (pathExists(path)) path = uniqueFileName(path);
    item.outputPath = path;
    item.encodingPath = temporaryTag.empty() ? path : temporaryOutputPath(path, temporaryTag);

    CommandPaths paths;
    paths.outputPath = collapseDoubledSeparators(item.encodingPath);
    const std::string& input = item.workPath.empty() ? item.sourcePath : item.workPath;
    paths.inputPath = input.empty() ? std::string() : collapseDoubledSeparators(input);
    return paths;
}

}  // namespace torvane
