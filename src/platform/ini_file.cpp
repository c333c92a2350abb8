#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include "platform/system_call.h"
#include "platform/text_encoding.h"

namespace torvane {
namespace {

bool isBlank(char c) {
    // ^Z is the DOS end-of-file mark, found at the end of old INI files.
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view stripEnclosingQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// At most maxBytes of a regular file; nullopt for anything else. A FIFO or a device is never
// read: reading one can wait forever. It is not even opened when stat already tells, and the
// open does not wait, so one swapped in between is seen by fstat before any read.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxBytes) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    const int fd = retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); });
    if (fd < 0) return std::nullopt;
    std::optional<std::string> content;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        content.emplace();
        char buffer[64 * 1024];
        while (content->size() < maxBytes) {
            const std::size_t wanted = std::min(sizeof buffer, maxBytes - content->size());
            const ssize_t got = retryOnInterrupt([&] { return ::read(fd, buffer, wanted); });
            if (got < 0) {
                content.reset();
                break;
            }
            if (got == 0) break;
            content->append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return content;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

IniFile IniFile::fromFile(const std::string& path) {
    return fromRegularFile(path).value_or(IniFile{});
}

std::optional<IniFile> IniFile::fromRegularFile(const std::string& path) {
    const auto bytes = readRegularFile(path, kMaxFileBytes);
    if (!bytes) return std::nullopt;
    return fromText(*bytes);
}

IniFile IniFile::fromText(std::string_view bytes) {
    const std::string text = decodeTextFile(bytes);
    IniFile file;
    // Keys before the first section header belong to a nameless section no lookup can reach.
    file.sections_.push_back(Section{});
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto lineEnd = rest.find('\n');
        std::string_view line = rest.substr(0, lineEnd);
        rest = lineEnd == std::string_view::npos ? std::string_view{} : rest.substr(lineEnd + 1);
        line = trimBlanks(line);
        if (line.empty()) continue;
        if (line.front() == '[') {
            const auto close = line.rfind(']');
            if (close != std::string_view::npos) {
                file.sections_.push_back(Section{std::string(trimBlanks(line.substr(1, close - 1))), {}});
                continue;
            }
            // A "[" line without "]" is read as a key line, as the Windows reader does.
        }
        Entry entry;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            entry.name = std::string(line);
        } else {
            entry.name = std::string(trimBlanks(line.substr(0, equals)));
            entry.value = std::string(trimBlanks(line.substr(equals + 1)));
        }
        file.sections_.back().entries.push_back(std::move(entry));
    }
    return file;
}

std::optional<std::string_view> IniFile::find(std::string_view section, std::string_view key) const {
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (section.empty() || key.empty()) return std::nullopt;
    for (const Section& candidate : sections_) {
        if (candidate.name.empty() || !equalsIgnoringCase(candidate.name, section)) continue;
        for (const Entry& entry : candidate.entries) {
            if (equalsIgnoringCase(entry.name, key)) {
                if (!entry.value) return std::nullopt;
                return std::string_view(*entry.value);
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::string IniFile::getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                               std::size_t bufferSize) const {
    const auto value = find(section, key);
    const std::string_view text = stripEnclosingQuotes(value ? *value : defaultValue);
    const std::size_t maxBytes = bufferSize > 0 ? bufferSize - 1 : 0;
    return std::string(cutUtf8(text, maxBytes));
}

std::string readIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t bufferSize) {
    return IniFile::fromFile(path).getString(section, key, defaultValue, bufferSize);
}

}  // namespace torvane
