#include "media/subtitle_discovery.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "platform/file_system.h"
#include "platform/text_encoding.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

// The kinds of subtitle file, in the order they are preferred.
constexpr std::array<std::string_view, 5> kKinds = {"smi", "srt", "ass", "ssa", "vtt"};
// Language tags people put before the extension for Korean subtitles, preferred in this order.
constexpr std::array<std::string_view, 3> kKoreanTags = {"ko", "kor", "korean"};

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
    const std::string lowerStem = lowerAscii(stem);
    for (const std::string_view kind : kKinds) wanted.push_back(lowerStem + "." + std::string(kind));
    for (const std::string_view tag : kKoreanTags) {
        for (const std::string_view kind : kKinds) {
            wanted.push_back(lowerStem + "." + std::string(tag) + "." + std::string(kind));
        }
    }
    const FolderListing listing = listFolder(folder.empty() ? "." : folder);
    for (const std::string& candidate : wanted) {
        for (const std::string& file : listing.files) {
            if (lowerAscii(file) == candidate) return folder + file;
        }
    }
    return {};
}

std::string subtitleCharacterSet(const std::string& path, const std::string& assumed) {
    // Subtitle files are small; a longer one is judged by its first megabyte.
    const std::optional<std::string> bytes = readFileBytes(path, 1 << 20);
    if (!bytes) return assumed;
    const std::string_view text = *bytes;
    if (text.starts_with("\xEF\xBB\xBF")) return "UTF-8";
    if (text.starts_with("\xFF\xFE")) return "UTF-16LE";
    if (text.starts_with("\xFE\xFF")) return "UTF-16BE";
    // A character cut at the end of the first megabyte is still UTF-8: the cut one is left out.
    std::size_t whole = text.size();
    if (whole == (1u << 20)) {
        while (whole > 0 && text.size() - whole < 3 && (static_cast<unsigned char>(text[whole - 1]) & 0xC0) == 0x80) {
            --whole;
        }
        if (whole > 0 && static_cast<unsigned char>(text[whole - 1]) >= 0xC0) --whole;
    }
    // Plain ASCII says nothing either way.
    const std::string_view judged = text.substr(0, whole);
    const bool ascii =
        std::all_of(judged.begin(), judged.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return !ascii && isValidUtf8(judged) ? "UTF-8" : assumed;
}

}  // namespace torvane
