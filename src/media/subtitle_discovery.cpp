#include "media/subtitle_discovery.h"

#include <array>
#include <string_view>

#include "platform/file_system.h"

namespace torvane {
namespace {

// The kinds of subtitle file, in the order they are preferred.
constexpr std::array<std::string_view, 5> kKinds = {"smi", "srt", "ass", "ssa", "vtt"};
// Language tags people put before the extension for Korean subtitles, preferred in this order.
constexpr std::array<std::string_view, 3> kKoreanTags = {"ko", "kor", "korean"};

std::string lowerAsciiCopy(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace

std::string findSubtitleFile(const std::string& sourcePath) {
    static constexpr std::array<std::string_view, 6> kExactExtensions = {".smi", ".SMI", ".srt",
                                                                         ".SRT", ".ssa", ".SSA"};
    const std::string_view name = fileNamePart(sourcePath);
    const auto dot = name.rfind('.');
    const std::string_view stem = dot == std::string_view::npos ? name : name.substr(0, dot);
    const std::string folder = sourcePath.substr(0, sourcePath.size() - name.size());
    const std::string prefix = folder + std::string(stem);
    for (const std::string_view extension : kExactExtensions) {
        std::string candidate = prefix + std::string(extension);
        if (isFileNotFolder(candidate)) return candidate;
    }

    // Then, without regard to case (Linux file names have it), the same name with any kind, and
    // the names with a Korean language tag: "movie.ko.smi", "movie.KOR.srt", "movie.korean.ass".
    std::vector<std::string> wanted;
    const std::string lowerStem = lowerAsciiCopy(stem);
    for (const std::string_view kind : kKinds) wanted.push_back(lowerStem + "." + std::string(kind));
    for (const std::string_view tag : kKoreanTags) {
        for (const std::string_view kind : kKinds) {
            wanted.push_back(lowerStem + "." + std::string(tag) + "." + std::string(kind));
        }
    }
    const FolderListing listing = listFolder(folder.empty() ? "." : folder);
    for (const std::string& candidate : wanted) {
        for (const std::string& file : listing.files) {
            if (lowerAsciiCopy(file) == candidate) return folder + file;
        }
    }
    return {};
}

}  // namespace torvane
