#include "run/swf_source.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "command/command_context.h"
#include "media/source_item.h"
#include "media/source_range.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "platform/private_folder.h"
#include "platform/system_call.h"
#include "platform/user_folders.h"
#include "settings/encode_settings.h"
#include "settings/option_store.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

using std::chrono::milliseconds;

// How long the listing and swfdump may take before what they printed is used as it is.
constexpr milliseconds kFactsLimit{5000};
// Making the working copy and extracting the sound read the whole movie; a tool that is still
// busy after this is taken to hang.
constexpr milliseconds kToolLimit{120000};

std::vector<std::string> splitAt(std::string_view text, std::string_view delimiters) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(delimiters, start), text.size());
        if (end > start) pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::string withoutBlanks(std::string_view text) {
    std::string result;
    for (const char c : text) {
        if (c != ' ') result += c;
    }
    return result;
}

// Runs one tool to its end (hidden, bounded in time); a missing program is skipped.
void runTool(const std::string& program, std::vector<std::string> arguments) {
    if (program.empty() || !pathExists(program)) return;
    arguments.insert(arguments.begin(), program);
    collectOutputWithin(arguments, kToolLimit);
}

std::string toolPath(const CommandContext& context, const char* name) {
    return findProgram(context.placeholders.programFolder, name);
}

bool decodeSoundWithFfmpeg(const CommandContext& context, const std::string& input, const char* bitrate,
                           const std::string& mp3) {
    runTool(context.ffmpegPath, {"-nostdin", "-y", "-i", input, "-vn", "-c:a", "libmp3lame", "-b:a", bitrate, "-ar",
                                 "44100", "-ac", "2", "-f", "mp3", mp3});
    return isNonEmptyFile(mp3);
}

// The sound of the movie as an MP3 file, trying each way in turn; true when one gave a file.
bool extractSound(const SourceItem& item, const CommandContext& context, const std::string& mp3) {
    std::remove(mp3.c_str());
    const bool listingFirst =
        context.options != nullptr && context.options->getOption("swfmp3extractfirst", "n") == "y";
    if (!listingFirst && decodeSoundWithFfmpeg(context, item.workPath, "256k", mp3)) return true;

    const std::string swfextract = toolPath(context, "swfextract");
    const SwfSoundList sounds =
        swfextract.empty() ? SwfSoundList{}
                           : parseSwfextractListing(collectOutputWithin({swfextract, item.sourcePath}, kFactsLimit));
    runTool(swfextract, {"-m", item.sourcePath, "-o", mp3});
    if (isNonEmptyFile(mp3)) return true;
    if (!sounds.mp3Sounds.empty()) {
        runTool(swfextract, {"-M", firstSoundId(sounds.mp3Sounds), item.sourcePath, "-o", mp3});
        if (isNonEmptyFile(mp3)) return true;
    }
    if (!sounds.sounds.empty()) {
        runTool(swfextract, {"-s", firstSoundId(sounds.sounds), item.sourcePath, "-o", mp3});
        if (isNonEmptyFile(mp3)) return true;
    }
    return decodeSoundWithFfmpeg(context, item.workPath, "128k", mp3);
}

void readMovieFacts(SourceItem& item, const CommandContext& context) {
    const std::string swfdump = toolPath(context, "swfdump");
    if (swfdump.empty()) return;
    const SwfInfo info =
        parseSwfdumpOutput(collectOutputWithin({swfdump, "-X", "-Y", "-f", "-r", item.sourcePath}, kFactsLimit));
    if (!info.width.empty()) item.media.videoWidth = info.width;
    if (!info.height.empty()) item.media.videoHeight = info.height;
    if (!info.frameRate.empty()) item.media.videoFrameRate = info.frameRate;
    if (!info.frameCount.empty()) item.media.videoFrameCount = info.frameCount;
}

}  // namespace

SwfInfo parseSwfdumpOutput(std::string_view text) {
    SwfInfo info;
    if (text.size() <= 10) return info;
    for (const std::string& piece : splitAt(text, "-")) {
        const std::vector<std::string> words = splitAt(piece, " ");
        if (words.size() < 2) continue;
        const std::string value = trimmed(words[1]);
        if (words[0] == "X") info.width = value;
        if (words[0] == "Y") info.height = value;
        if (words[0] == "r") info.frameRate = value;
        if (words[0] == "f") info.frameCount = value;
    }
    return info;
}

SwfSoundList parseSwfextractListing(std::string_view text) {
    SwfSoundList sounds;
    if (text.size() <= 10) return sounds;
    for (const std::string& line : splitAt(text, "\n")) {
        const auto ids = line.find("ID(s)");
        const std::string list =
            ids == std::string::npos ? std::string() : withoutBlanks(trimmed(line.substr(ids + 5)));
        if (line.find("[-s]") != std::string::npos) sounds.sounds = list;
        if (line.find("[-M]") != std::string::npos) sounds.mp3Sounds = list;
    }
    return sounds;
}

std::string firstSoundId(std::string_view list) {
    return std::string(list.substr(0, list.find(',')));
}

SwfFrameSpan swfFrameSpan(const SourceItem& item) {
    SwfFrameSpan span;
    span.last = leadingInteger(item.media.videoFrameCount);
    const double rate = std::strtod(item.media.videoFrameRate.c_str(), nullptr);
    if (!hasRange(item) || !(rate > 0)) return span;
    // A frame is sent when its time, (n - 1) / rate, lies in [start, end); a hair of slack keeps
    // 2.0 s at 24 fps at frame 49 whatever the rounding of 2.0 * 24.
    constexpr double kSlack = 1e-6;
    const long first = static_cast<long>(std::floor(item.rangeStartSeconds * rate + kSlack)) + 1;
    const long endFrames =
        item.rangeEndSeconds > 0 ? static_cast<long>(std::ceil(item.rangeEndSeconds * rate - kSlack)) : span.last;
    span.first = std::max(1L, first);
    if (endFrames > 0) span.last = span.last > 0 ? std::min(span.last, endFrames) : endFrames;
    return span;
}

std::string swfWorkFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime != nullptr && runtime[0] == '/' ? joinPath(runtime, "torvane")
                                                                 : "/tmp/torvane" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    return isPrivateFolderOfOurs(folder) ? folder : std::string();
}

int removeAbandonedSwfWorkFiles() {
    const std::string folder = swfWorkFolder();
    DIR* listing = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (listing == nullptr) return 0;
    int removed = 0;
    // Work files are named tv_<second>_<process id>.<number>.swf or .mp3, and tv_<second>_<process id>.subN.ass.
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with("tv_") || !(name.ends_with(".swf") || name.ends_with(".mp3") || name.ends_with(".ass"))) {
            continue;
        }
        const auto underscore = name.find('_', 3);
        const auto dot = underscore == std::string_view::npos ? underscore : name.find('.', underscore);
        if (underscore == std::string_view::npos || dot <= underscore + 1 || dot - underscore > 10) continue;
        const std::string pid(name.substr(underscore + 1, dot - underscore - 1));
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (::kill(static_cast<pid_t>(std::stol(pid)), 0) == 0 || errno != ESRCH) continue;
        if (::unlinkat(::dirfd(listing), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(listing);
    return removed;
}

void prepareSwfSource(SourceItem& item, const EncodeSettings& settings, const CommandContext& context) {
    item.workPath.clear();
    item.extractedAudioPath.clear();
    const std::string folder = swfWorkFolder();
    if (folder.empty()) return;
    // Named after the second the conversion started and this process, then a number taken by
    // creating the copy: two programs, and two items of one run converting at once, must not share
    // (and overwrite) work files.
    const std::string base =
        joinPath(folder, "tv_" + std::to_string(std::time(nullptr)) + "_" + std::to_string(::getpid()));
    std::string stem;
    for (int number = 0; stem.empty() && number < 1000; ++number) {
        const std::string candidate = base + "." + std::to_string(number);
        const int fd = retryOnInterrupt(
            [&] { return ::open((candidate + ".swf").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); });
        if (fd >= 0) {
            ::close(fd);
            stem = candidate;
        } else if (errno != EEXIST) {
            return;
        }
    }
    if (stem.empty()) return;
    const std::string copy = stem + ".swf";
    const std::string mp3 = stem + ".mp3";

    runTool(toolPath(context, "swfcombine"), {"-d", item.sourcePath, "-o", copy});
    if (!isNonEmptyFile(copy)) {
        std::remove(copy.c_str());
        return;
    }
    item.workPath = copy;

    if (isTruthy(settings.audio_use) && extractSound(item, context, mp3)) item.extractedAudioPath = mp3;
    readMovieFacts(item, context);
}

}  // namespace torvane
