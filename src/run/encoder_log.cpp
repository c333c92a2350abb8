#include "run/encoder_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_system.h"
#include "platform/system_call.h"
#include "platform/user_folders.h"
#include "run/time_size_text.h"

namespace torvane {
namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
// Room for the note that says what was cut, so the whole file stays within kMaxBytes.
constexpr std::size_t kNoteRoom = 256;
constexpr std::size_t kHeadBytes = EncoderLog::kMaxBytes - EncoderLog::kTailBytes - kNoteRoom;
constexpr std::size_t kMaxNameBytes = 80;
constexpr int kMaxCounter = 9999;

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The source's file name as a part of ours: no separators, blanks or shell characters; UTF-8
// letters stay, so a reader still recognises the name.
std::string safeName(std::string_view source) {
    std::string name;
    for (const char c : fileNamePart(source)) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isAsciiDigit(c) || c == '.' ||
                           c == '-' || c == '_' || byte >= 0x80;
        name += plain ? c : '_';
    }
    if (name.size() > kMaxNameBytes) {
        std::size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name.empty() ? "source" : name;
}

// One of our logs: "YYYYMMDD-HHMMSS-<pid>-<counter>-<name>.log".
bool isLogName(std::string_view name) {
    if (name.size() < 20 || !name.ends_with(".log") || name[8] != '-' || name[15] != '-') return false;
    for (const std::size_t at : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14}) {
        if (!isAsciiDigit(name[at])) return false;
    }
    return true;
}

// The counter of a log whose name begins with prefix ("<stamp>-<pid>-"); -1 for other names.
int counterOf(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) return -1;
    int counter = 0;
    std::size_t at = prefix.size();
    for (; at < name.size() && isAsciiDigit(name[at]) && counter <= kMaxCounter; ++at)
        counter = counter * 10 + (name[at] - '0');
    return at > prefix.size() && at < name.size() && name[at] == '-' ? counter : -1;
}

}  // namespace

std::string EncoderLog::defaultFolder() {
    return joinPath(defaultStateFolder(), "logs");
}

std::unique_ptr<EncoderLog> EncoderLog::open(std::string_view sourceName, std::string* error,
                                             const std::string& folder) {
    const auto fail = [&](std::string reason) {
        if (error != nullptr) *error = std::move(reason);
        return nullptr;
    };
    if (folder.empty()) return fail("no folder for encoder logs");
    FileError folderError;
    if (!makeFolders(folder, &folderError)) {
        // A file in the way of a folder fails without an errno of its own.
        return fail(folderError.message.empty() ? "cannot create the folder " + folder : folderError.message);
    }
    std::vector<std::string> logs;
    for (std::string& name : listFolder(folder).files) {
        if (isLogName(name)) logs.push_back(std::move(name));
    }
    // A counter past those of this second and process, so that the names keep the order of
    // opening even after older ones were removed.
    const std::string prefix = timeStamp() + "-" + std::to_string(::getpid()) + "-";
    int counter = 0;
    for (const std::string& name : logs) counter = std::max(counter, counterOf(name, prefix) + 1);

    const std::string tail = "-" + safeName(sourceName) + ".log";
    std::string name, path;
    int fd = -1;
    for (; fd < 0 && counter <= kMaxCounter; ++counter) {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", counter);
        name = prefix + number + tail;
        path = joinPath(folder, name);
        fd = retryOnInterrupt(
            [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600); });
        if (fd < 0 && errno != EEXIST) return fail("cannot create the log " + path + ": " + std::strerror(errno));
    }
    if (fd < 0) return fail("cannot create the log " + path + ": " + std::strerror(EEXIST));

    // The oldest go first: names begin with the time they were made.
    logs.push_back(name);
    std::sort(logs.begin(), logs.end());
    for (std::size_t i = 0; i + kKeptLogs < logs.size(); ++i) {
        if (logs[i] != name) ::unlink(joinPath(folder, logs[i]).c_str());
    }
    return std::unique_ptr<EncoderLog>(new EncoderLog(fd, path));
}

EncoderLog::~EncoderLog() {
    flush();
    if (!tail_.empty()) {
        if (tail_.size() > kTailBytes) {
            cutBytes_ += tail_.size() - kTailBytes;
            tail_.erase(0, tail_.size() - kTailBytes);
        }
        // Without anything dropped the tail simply follows the beginning.
        if (cutBytes_ > 0)
            writeOut("\n… (기록이 너무 길어 가운데 " + std::to_string(cutBytes_) + "바이트를 뺐습니다) …\n");
        writeOut(tail_);
    }
    if (fd_ >= 0) ::close(fd_);
}

void EncoderLog::append(std::string_view chunk) {
    if (fd_ < 0) return;
    if (headBytes_ < kHeadBytes) {
        const std::size_t take = std::min(chunk.size(), kHeadBytes - headBytes_);
        buffer_.append(chunk.substr(0, take));
        headBytes_ += take;
        chunk.remove_prefix(take);
        if (buffer_.size() >= kBufferBytes) flush();
    }
    if (chunk.empty()) return;
    // Past the beginning only the latest output is kept; trimmed in steps, not on every chunk.
    tail_.append(chunk);
    if (tail_.size() > 2 * kTailBytes) {
        const std::size_t drop = tail_.size() - kTailBytes;
        cutBytes_ += drop;
        tail_.erase(0, drop);
    }
}

void EncoderLog::appendLine(std::string_view line) {
    append(line);
    append("\n");
}

void EncoderLog::flush() {
    writeOut(buffer_);
    buffer_.clear();
}

void EncoderLog::writeOut(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
        const ssize_t n = retryOnInterrupt([&] { return ::write(fd_, bytes.data(), bytes.size()); });
        if (n <= 0) {
            // A full disk or a vanished file system: the log stops, the conversion does not.
            ::close(fd_);
            fd_ = -1;
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace torvane
