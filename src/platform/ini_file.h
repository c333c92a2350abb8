#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// Reader buffer sizes, terminating zero included: a value is cut to one byte less.
inline constexpr std::size_t kProfileValueBuffer = 2048;
inline constexpr std::size_t kCatalogueValueBuffer = 1024;
inline constexpr std::size_t kCodecValueBuffer = 512;

// A read-only INI file with the reading rules of the Windows profile reader:
// - section and key names match without regard to ASCII letter case, blanks around them ignored;
// - a missing file, section or key, or a key line without "=", gives the caller's default;
// - a key present with an empty value gives the empty text;
// - the first section of a name is the one searched, and in it the first key of a name wins;
// - a value wholly enclosed in a pair of double or single quotes loses the pair;
// - there is no comment syntax: a line ";x=1" is a key named ";x", and ";" inside a value is text;
// - lines end with LF or CRLF; the file is UTF-8 (BOM optional), UTF-16 with a BOM, or CP949.
class IniFile {
public:
    // Files larger than this are read only up to it: no profile comes close, and a large
    // stray file in the preset folder must not be read whole.
    static constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;

    IniFile() = default;

    // An unreadable or missing file gives an empty IniFile, so every lookup yields its default.
    // Only regular files are read: a FIFO or device path gives an empty IniFile at once.
    static IniFile fromFile(const std::string& path);
    // nullopt when path is not a regular file that can be read.
    static std::optional<IniFile> fromRegularFile(const std::string& path);
    static IniFile fromText(std::string_view bytes);

    // The value, cut to bufferSize - 1 bytes without splitting a UTF-8 character.
    std::string getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          std::size_t bufferSize) const;

    // The raw value; nullopt when the section or key is missing or the key has no "=".
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;

private:
    struct Entry {
        std::string name;
        std::optional<std::string> value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    std::vector<Section> sections_;
};

// One lookup in one file, for callers that read a single value.
std::string readIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t bufferSize);

// ASCII case-insensitive equality, the comparison of section and key names.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace torvane
