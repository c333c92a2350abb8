#include "media/subtitle_discovery.h"

#include <array>
#include <string_view>

#include "platform/file_system.h"

namespace torvane {

std::string findSubtitleFile(const std::string& sourcePath) {
    static constexpr std::array<std::string_view, 6> kExtensions = {".smi", ".SMI", ".srt", ".SRT", ".ssa", ".SSA"};
    const std::string_view name = fileNamePart(sourcePath);
    const auto dot = name.rfind('.');
    const std::string_view stem = dot == std::string_view::npos ? name : name.substr(0, dot);
    const std::string prefix = sourcePath.substr(0, sourcePath.size() - name.size()) + std::string(stem);
    for (const std::string_view extension : kExtensions) {
        std::string candidate = prefix + std::string(extension);
        if (isFileNotFolder(candidate)) return candidate;
    }
    return {};
}

}  // namespace torvane
