#include "command/output_naming.h"

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

// The pattern with its two placeholders filled; it may still name folders.
std::string expandFileNamePattern(const EncodeSettings& settings, const SourceItem& item,
                                  const ContainerEntry& container) {
    std::string extension = container.file_ext;
    if (extension.size() > 1 && extension.front() == '.') extension.erase(0, 1);
    std::string name = replaceAll(settings.filename, "{ori_name}", stemOf(item.sourcePath));
    return replaceAll(name, "{base_ext}", extension);
}

}  // namespace

std::string outputFileName(const EncodeSettings& settings, const SourceItem& item, const ContainerEntry& container) {
    std::string name = expandFileNamePattern(settings, item, container);
    // Presets written on Windows may separate folders with a backslash.
    if (const auto slash = name.find_last_of("\\/"); slash != std::string::npos) name.erase(0, slash + 1);
    return name;
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

CommandPaths makeOutputPath(const EncodeSettings& settings, SourceItem& item, const ContainerEntry& container,
                            const OutputFolderChoice& folder) {
    const std::string outputFolder =
        folder.sameFolderAsSource ? std::string(parentFolder(item.sourcePath)) : folder.folder;
    std::string path = outputFolder + "/" + expandFileNamePattern(settings, item, container);
    if (pathExists(path)) path = uniqueFileName(path);
    item.outputPath = path;

    CommandPaths paths;
    paths.outputPath = collapseDoubledSeparators(path);
    const std::string& input = item.workPath.empty() ? item.sourcePath : item.workPath;
    paths.inputPath = input.empty() ? std::string() : collapseDoubledSeparators(input);
    return paths;
}

}  // namespace torvane
