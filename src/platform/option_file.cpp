#include "platform/option_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/system_call.h"
#include "platform/text_encoding.h"

namespace torvane {
namespace {

constexpr std::size_t kMaxStoreBytes = 16 * 1024 * 1024;

struct StoredValue {
    std::string name;
    std::string value;
};

std::string escapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string unescapeValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'n') {
            out += '\n';
        } else if (next == 'r') {
            out += '\r';
        } else if (next == '\\') {
            out += '\\';
        } else {
            out += '\\';
            out += next;
        }
    }
    return out;
}

// One line of the store as it was read, with what it means to us.
struct StoreLine {
    std::string text;
    bool inOurSection = false;
    bool isHeader = false;
    std::optional<StoredValue> value;  // set for name=value lines of our section
};

// Every line is kept, so a rewrite loses nothing it does not understand.
std::vector<StoreLine> parseStore(std::string_view bytes) {
    const std::string text = decodeTextFile(bytes);
    std::vector<StoreLine> lines;
    bool inOurSection = false;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto lineEnd = rest.find('\n');
        std::string_view line = rest.substr(0, lineEnd);
        rest = lineEnd == std::string_view::npos ? std::string_view{} : rest.substr(lineEnd + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        StoreLine parsed{std::string(line), false, false, std::nullopt};
        if (line.starts_with('[')) {
            const auto close = line.rfind(']');
            inOurSection = close != std::string_view::npos &&
                           equalsIgnoringCase(line.substr(1, close - 1), OptionFile::kSectionName);
            parsed.isHeader = true;
        } else if (const auto equals = line.find('='); inOurSection && equals != std::string_view::npos && equals > 0) {
            parsed.value = StoredValue{std::string(line.substr(0, equals)), unescapeValue(line.substr(equals + 1))};
        }
        parsed.inOurSection = inOurSection;
        lines.push_back(std::move(parsed));
    }
    return lines;
}

// Replaces the first line of the name in our section and drops later ones; a new name goes
// to the end of our section, which is created when the file has none.
std::string storeWithValue(std::vector<StoreLine> lines, std::string_view name, std::string_view value) {
    const std::string newLine = std::string(name) + "=" + escapeValue(value);
    bool replaced = false;
    std::optional<std::size_t> endOfOurSection;
    std::vector<StoreLine> kept;
    for (StoreLine& line : lines) {
        if (line.value && equalsIgnoringCase(line.value->name, name)) {
            if (replaced) continue;
            // The name keeps the spelling it was first stored with.
            line.text = line.value->name + "=" + escapeValue(value);
            replaced = true;
        }
        kept.push_back(std::move(line));
        if (kept.back().inOurSection) endOfOurSection = kept.size();
    }
    if (!replaced) {
        if (endOfOurSection) {
            kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(*endOfOurSection),
                        StoreLine{newLine, true, false, std::nullopt});
        } else {
            kept.push_back(StoreLine{"[" + std::string(OptionFile::kSectionName) + "]", true, true, std::nullopt});
            kept.push_back(StoreLine{newLine, true, false, std::nullopt});
        }
    }
    std::string text;
    for (const StoreLine& line : kept) text += line.text + "\n";
    return text;
}

// An exclusive flock held for the lifetime of the object.
class FolderLock {
public:
    explicit FolderLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0 && retryOnInterrupt([&] { return ::flock(fd_, LOCK_EX); }) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

}  // namespace

OptionFile::OptionFile(std::string folder) : folder_(std::move(folder)) {}

std::string OptionFile::filePath() const {
    return joinPath(folder_, kFileName);
}

std::optional<std::string> OptionFile::read(std::string_view name) const {
    const auto bytes = readFileBytes(filePath(), kMaxStoreBytes);
    if (!bytes) return std::nullopt;
    for (const StoreLine& line : parseStore(*bytes)) {
        if (line.value && equalsIgnoringCase(line.value->name, name)) return line.value->value;
    }
    return std::nullopt;
}

bool OptionFile::write(std::string_view name, std::string_view value) const {
    // A name must stay one name on one line.
    if (name.empty() || name.find_first_of("=\r\n[") != std::string_view::npos) return false;
    if (!makeFolders(folder_)) return false;
    const FolderLock lock(joinPath(folder_, std::string(kFileName) + ".lock"));
    if (!lock.held()) return false;

    std::vector<StoreLine> lines;
    const std::string path = filePath();
    if (pathExists(path)) {
        const auto bytes = readFileBytes(path, kMaxStoreBytes);
        // Rewriting a store we could not read would throw its other values away.
        if (!bytes || bytes->size() >= kMaxStoreBytes) return false;
        lines = parseStore(*bytes);
    }
    return writeFileAtomically(path, storeWithValue(std::move(lines), name, value));
}

}  // namespace torvane
