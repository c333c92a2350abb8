#include "run/queue_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "platform/file_system.h"
#include "platform/fnv_hash.h"
#include "platform/system_call.h"
#include "platform/text_encoding.h"
#include "platform/user_folders.h"
#include "run/time_size_text.h"

namespace torvane {
namespace {

constexpr std::string_view kFileName = "queue.ini";
constexpr std::string_view kVersion = "1";
constexpr std::string_view kChecksumKey = "checksum=";
constexpr std::size_t kChecksumDigits = 16;
// Far above any list a person makes (a 200-item journal is about 100 kB); a larger file is
// not ours, and is not read whole.
constexpr std::size_t kMaxJournalBytes = 64 * 1024 * 1024;
constexpr int kMaxSetAsideNumber = 100;
// Marks that start a section or a comment, split a key from its value, or that a reader may
// take as quotes around a value.
constexpr std::string_view kEscapedMarks = "=;[]\"'";

constexpr std::array<std::pair<JournalState, std::string_view>, 5> kStateNames = {{
    {JournalState::Waiting, "waiting"},
    {JournalState::Running, "running"},
    {JournalState::Done, "done"},
    {JournalState::Failed, "failed"},
    {JournalState::Stopped, "stopped"},
}};

// The text fields of an entry, by their key.
constexpr std::array<std::pair<std::string_view, std::string JournalEntry::*>, 4> kEntryTexts = {{
    {"source", &JournalEntry::sourcePath},
    {"subtitle", &JournalEntry::subtitlePath},
    {"output", &JournalEntry::outputPath},
    {"reason", &JournalEntry::reason},
}};

// FNV-1a catches a cut or a damaged byte: the journal guards against accidents, not against
// someone who means to forge it.
std::string checksumText(std::string_view bytes) {
    char text[kChecksumDigits + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(fnv1a64(bytes)));
    return text;
}

void appendHexByte(std::string& out, unsigned char byte) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

// The length of the well-formed UTF-8 character at the start of text, 0 when there is none.
std::size_t utf8CharacterLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || length > text.size() || !isValidUtf8(text.substr(0, length))) return 0;
    return length;
}

// A value on one line that any INI reader takes as it is: "\" and the bytes that end a line,
// start a section or comment, split a key, are quotes or are trimmed become \xHH; so do bytes
// that are not UTF-8, so the file stays UTF-8. Hangul and other UTF-8 text stay readable.
std::string escapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size();) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (byte >= 0x80) {
            if (const std::size_t length = utf8CharacterLength(value.substr(i)); length > 0) {
                out.append(value.substr(i, length));
                i += length;
            } else {
                appendHexByte(out, byte);
                ++i;
            }
            continue;
        }
        const bool edgeBlank = byte == ' ' && (i == 0 || i + 1 == value.size());
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F || edgeBlank || kEscapedMarks.find(value[i]) != std::string_view::npos) {
            appendHexByte(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
        ++i;
    }
    return out;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> unescapeValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x') return std::nullopt;
        const int high = hexDigitValue(text[i + 2]);
        const int low = hexDigitValue(text[i + 3]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 3;
    }
    return out;
}

// The shortest text that reads back as the same double.
std::string secondsText(double seconds) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, seconds);
    return std::string(text, result.ptr);
}

std::optional<double> parseSeconds(std::string_view text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::size_t> parseCount(std::string_view text) {
    std::size_t value = 0;
    if (text.empty() || (text.size() > 1 && text.front() == '0')) return std::nullopt;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<bool> parseFlag(std::string_view text) {
    if (text == "y") return true;
    if (text == "n") return false;
    return std::nullopt;
}

std::string_view stateName(JournalState state) {
    for (const auto& [value, name] : kStateNames) {
        if (value == state) return name;
    }
    return "waiting";
}

std::optional<JournalState> parseState(std::string_view text) {
    for (const auto& [value, name] : kStateNames) {
        if (name == text) return value;
    }
    return std::nullopt;
}

void appendLine(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    out += '=';
    out += escapeValue(value);
    out += '\n';
}

std::string itemSectionName(std::size_t number) {
    return "item" + std::to_string(number);
}

// One [section] of the text, its values unescaped, each key at most once.
struct Section {
    std::string name;
    // A map, so that a crafted section of a million keys is read in good time too.
    std::map<std::string, std::string, std::less<>> values;

    const std::string* find(std::string_view key) const {
        const auto found = values.find(key);
        return found == values.end() ? nullptr : &found->second;
    }
};

std::optional<std::vector<Section>> parseSections(std::string_view body) {
    std::vector<Section> sections;
    while (!body.empty()) {
        const auto lineEnd = body.find('\n');
        if (lineEnd == std::string_view::npos) return std::nullopt;
        const std::string_view line = body.substr(0, lineEnd);
        body.remove_prefix(lineEnd + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.size() < 3 || line.back() != ']') return std::nullopt;
            sections.push_back(Section{std::string(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0 || sections.empty()) return std::nullopt;
        auto value = unescapeValue(line.substr(equals + 1));
        if (!value) return std::nullopt;
        const bool added = sections.back().values.emplace(line.substr(0, equals), std::move(*value)).second;
        if (!added) return std::nullopt;
    }
    return sections;
}

std::optional<JournalEntry> parseEntry(const Section& section) {
    JournalEntry entry;
    for (const auto& [key, field] : kEntryTexts) {
        const std::string* value = section.find(key);
        if (value == nullptr) return std::nullopt;
        entry.*field = *value;
    }
    const std::string* start = section.find("rangeStart");
    const std::string* end = section.find("rangeEnd");
    const std::string* keepSound = section.find("keepSound");
    const std::string* state = section.find("state");
    if (start == nullptr || end == nullptr || keepSound == nullptr || state == nullptr) return std::nullopt;
    const auto startSeconds = parseSeconds(*start);
    const auto endSeconds = parseSeconds(*end);
    const auto keep = parseFlag(*keepSound);
    const auto parsedState = parseState(*state);
    if (!startSeconds || !endSeconds || !keep || !parsedState) return std::nullopt;
    entry.rangeStartSeconds = *startSeconds;
    entry.rangeEndSeconds = *endSeconds;
    entry.keepSound = *keep;
    entry.state = *parsedState;
    // Journals written before this key existed have none.
    if (const std::string* started = section.find("started")) {
        const auto seconds = parseSeconds(*started);
        if (!seconds) return std::nullopt;
        entry.startedAt = *seconds;
    }
    if (const std::string* interrupted = section.find("interrupted")) entry.interruptedOutput = *interrupted;
    return entry;
}

std::string errorText(int errorNumber) {
    return std::strerror(errorNumber);
}

void syncFolderOf(const std::string& path) {
    std::string folder(parentFolder(path));
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Renames without ever replacing a file; *error is the errno of the last try.
bool renameWithoutReplacing(const std::string& from, const std::string& to, int* error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    *error = errno;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // A file system without a no-replace rename: only a name nothing has is used.
    struct stat facts {};
    if (::lstat(to.c_str(), &facts) == 0) {
        *error = EEXIST;
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    *error = errno;
    return false;
}

JournalLoad setAside(const std::string& path) {
    JournalLoad load;
    load.outcome = JournalLoad::Outcome::SetAside;
    const std::string base = path + ".corrupt-" + timeStamp();
    int error = 0;
    for (int number = 1; number <= kMaxSetAsideNumber; ++number) {
        const std::string candidate = number == 1 ? base : base + "-" + std::to_string(number);
        // Not made durable: a rename lost to a power cut only brings the damaged journal back to
        // be set aside again.
        if (renameWithoutReplacing(path, candidate, &error)) {
            load.setAsidePath = candidate;
            load.message = "작업 목록 기록이 손상되어 따로 보관했습니다: " + candidate;
            return load;
        }
        if (error != EEXIST) break;
    }
    load.message = "작업 목록 기록이 손상되었지만 따로 보관하지 못했습니다: " + path + " (" + errorText(error) + ")";
    return load;
}

// The bytes of a regular file of at most kMaxJournalBytes; nullopt for anything else, with
// *missing set when there is nothing at the path. A FIFO is never waited on.
std::optional<std::string> readJournalBytes(const std::string& path, bool* missing) {
    *missing = false;
    const int fd = retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        *missing = errno == ENOENT || errno == ENOTDIR;
        return std::nullopt;
    }
    struct stat facts {};
    if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode) ||
        static_cast<std::uint64_t>(facts.st_size) > kMaxJournalBytes) {
        ::close(fd);
        return std::nullopt;
    }
    ::close(fd);
    auto bytes = readFileBytes(path, kMaxJournalBytes + 1);
    if (bytes && bytes->size() > kMaxJournalBytes) return std::nullopt;
    return bytes;
}

// ".queue.ini.XXXXXX": the temporary of writeFileAtomically.
bool isWriteTemporaryOf(std::string_view name, std::string_view journalName) {
    constexpr std::size_t kRandomPart = 6;
    return name.size() == journalName.size() + 2 + kRandomPart && name.front() == '.' &&
           name.substr(1, journalName.size()) == journalName && name[journalName.size() + 1] == '.';
}

}  // namespace

std::string queueJournalPath() {
    return joinPath(defaultStateFolder(), kFileName);
}

std::string queueJournalText(const QueueJournal& journal) {
    std::string text = "; Torvane queue journal: rewritten whole on every change; the last line checks the rest.\n";
    text += "[journal]\n";
    appendLine(text, "version", kVersion);
    appendLine(text, "items", std::to_string(journal.entries.size()));
    appendLine(text, "outputFolder", journal.output.folder);
    appendLine(text, "sameFolderAsSource", journal.output.sameFolderAsSource ? "y" : "n");
    text += "[settings]\n";
    for (const SettingsKey& key : settingsKeys()) appendLine(text, key.name, journal.settings.*key.field);
    for (std::size_t i = 0; i < journal.entries.size(); ++i) {
        const JournalEntry& entry = journal.entries[i];
        text += "[" + itemSectionName(i + 1) + "]\n";
        appendLine(text, "source", entry.sourcePath);
        appendLine(text, "rangeStart", secondsText(entry.rangeStartSeconds));
        appendLine(text, "rangeEnd", secondsText(entry.rangeEndSeconds));
        appendLine(text, "keepSound", entry.keepSound ? "y" : "n");
        appendLine(text, "subtitle", entry.subtitlePath);
        appendLine(text, "state", stateName(entry.state));
        appendLine(text, "output", entry.outputPath);
        appendLine(text, "reason", entry.reason);
        if (entry.startedAt > 0) appendLine(text, "started", secondsText(entry.startedAt));
        if (!entry.interruptedOutput.empty()) appendLine(text, "interrupted", entry.interruptedOutput);
    }
    text += "[end]\n";
    const std::string checksum = checksumText(text);
    text += kChecksumKey;
    text += checksum;
    text += '\n';
    return text;
}

std::optional<QueueJournal> parseQueueJournalText(std::string_view text) {
    // The last line seals everything before it; a cut anywhere breaks the seal or removes it.
    if (text.size() < 2 || text.back() != '\n') return std::nullopt;
    const auto lastLineStart = text.rfind('\n', text.size() - 2);
    if (lastLineStart == std::string_view::npos) return std::nullopt;
    const std::string_view body = text.substr(0, lastLineStart + 1);
    const std::string_view seal = text.substr(lastLineStart + 1, text.size() - lastLineStart - 2);
    if (seal.size() != kChecksumKey.size() + kChecksumDigits || !seal.starts_with(kChecksumKey) ||
        seal.substr(kChecksumKey.size()) != checksumText(body)) {
        return std::nullopt;
    }

    const auto sections = parseSections(body);
    if (!sections || sections->size() < 3) return std::nullopt;
    const Section& head = sections->front();
    const Section& settings = (*sections)[1];
    if (head.name != "journal" || settings.name != "settings" || sections->back().name != "end" ||
        !sections->back().values.empty()) {
        return std::nullopt;
    }
    const std::string* version = head.find("version");
    const std::string* items = head.find("items");
    const std::string* outputFolder = head.find("outputFolder");
    const std::string* sameFolder = head.find("sameFolderAsSource");
    if (version == nullptr || *version != kVersion || items == nullptr || outputFolder == nullptr ||
        sameFolder == nullptr) {
        return std::nullopt;
    }
    const auto itemCount = parseCount(*items);
    const auto sameFolderAsSource = parseFlag(*sameFolder);
    if (!itemCount || !sameFolderAsSource || *itemCount != sections->size() - 3) return std::nullopt;

    QueueJournal journal;
    journal.output.folder = *outputFolder;
    journal.output.sameFolderAsSource = *sameFolderAsSource;
    // A journal written before a setting existed reads as a profile would: the setting's default.
    for (const SettingsKey& key : settingsKeys()) {
        const std::string* value = settings.find(key.name);
        journal.settings.*key.field = value != nullptr ? *value : std::string(key.defaultValue);
    }
    for (std::size_t i = 0; i < *itemCount; ++i) {
        const Section& section = (*sections)[i + 2];
        if (section.name != itemSectionName(i + 1)) return std::nullopt;
        auto entry = parseEntry(section);
        if (!entry) return std::nullopt;
        journal.entries.push_back(std::move(*entry));
    }
    return journal;
}

bool writeQueueJournal(const std::string& path, const QueueJournal& journal, std::string* error) {
    FileError failure;
    if (const std::string folder(parentFolder(path)); !folder.empty() && !makeFolders(folder, &failure)) {
        // A file in the folder's place fails without an errno of its own.
        if (failure.message.empty()) failure.message = "cannot create the folder " + folder;
        if (error != nullptr) *error = failure.message;
        return false;
    }
    if (!writeFileAtomically(path, queueJournalText(journal), &failure)) {
        if (error != nullptr) *error = failure.message;
        return false;
    }
    return true;
}

JournalLoad loadQueueJournal(const std::string& path) {
    bool missing = false;
    const auto bytes = readJournalBytes(path, &missing);
    if (missing) return JournalLoad{};
    std::optional<QueueJournal> journal;
    if (bytes) journal = parseQueueJournalText(*bytes);
    if (!journal) return setAside(path);

    for (JournalEntry& entry : journal->entries) {
        // Its encoder was cut off: nothing of it was published, and it converts again in full.
        if (entry.state == JournalState::Running) {
            entry.state = JournalState::Waiting;
            entry.interruptedOutput = std::move(entry.outputPath);
            entry.outputPath.clear();
            entry.reason.clear();
        }
    }
    JournalLoad load;
    load.outcome = JournalLoad::Outcome::Loaded;
    load.journal = std::move(*journal);
    return load;
}

bool removeQueueJournal(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return errno == ENOENT;
    // A power cut just after a finished run must not bring its list back.
    syncFolderOf(path);
    return true;
}

bool hasUnfinishedWork(const QueueJournal& journal) {
    return std::any_of(journal.entries.begin(), journal.entries.end(), [](const JournalEntry& entry) {
        return entry.state == JournalState::Waiting || entry.state == JournalState::Running ||
               entry.state == JournalState::Stopped;
    });
}

std::unique_ptr<QueueJournalLock> QueueJournalLock::acquire(const std::string& journalPath, std::string* message,
                                                            bool* busy) {
    if (busy != nullptr) *busy = false;
    const std::string folder(parentFolder(journalPath));
    FileError failure;
    if (!folder.empty() && !makeFolders(folder, &failure)) {
        if (message != nullptr) *message = "작업 목록 기록을 남길 폴더를 만들 수 없습니다: " + folder;
        return nullptr;
    }
    const std::string lockPath = journalPath + ".lock";
    const int fd = retryOnInterrupt([&] { return ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); });
    if (fd < 0) {
        if (message != nullptr)
            *message = "작업 목록 기록을 잠글 수 없습니다: " + lockPath + " (" + errorText(errno) + ")";
        return nullptr;
    }
    if (retryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
        const int saved = errno;
        ::close(fd);
        if (saved == EWOULDBLOCK) {
            if (busy != nullptr) *busy = true;
            if (message != nullptr) {
                *message =
                    "다른 Torvane 프로그램이 작업 목록 기록을 쓰고 있습니다. 이 프로그램의 작업 목록은 "
                    "기록되지 않습니다.";
            }
        } else if (message != nullptr) {
            *message = "작업 목록 기록을 잠글 수 없습니다: " + lockPath + " (" + errorText(saved) + ")";
        }
        return nullptr;
    }
    // No writer but us can be at work now: a temporary left beside the journal is a write that
    // a crash cut short.
    const std::string_view journalName = fileNamePart(journalPath);
    for (const std::string& name : listFolder(folder.empty() ? "." : folder).files) {
        if (isWriteTemporaryOf(name, journalName)) ::unlink(joinPath(folder.empty() ? "." : folder, name).c_str());
    }
    return std::unique_ptr<QueueJournalLock>(new QueueJournalLock(fd));
}

QueueJournalLock::~QueueJournalLock() {
    ::close(fd_);
}

}  // namespace torvane
