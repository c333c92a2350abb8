#include "run/add_source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/media_query.h"
#include "platform/file_system.h"
#include "platform/system_call.h"
#include "run/run_observer.h"
#include "run/source_list.h"
#include "settings/option_store.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

// The size of a file we can open for reading; 0 for anything else (missing, unreadable, a folder).
std::uint64_t readableFileSize(const std::string& path) {
    const int fd = retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); });
    if (fd < 0) return 0;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
    ::close(fd);
    return ok && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

std::string lowerCaseExtension(const std::string& path) {
    const std::string_view name = fileNamePart(path);
    const auto dot = name.rfind('.');
    std::string extension(dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

// A file of no length whose streams the library knows nothing of (no picture size, no sound
// channels) is a damaged header, not media: no encoder could read it either.
bool hasUsableStream(const MediaSummary& media) {
    if (media.videoStreamCount == 0 && media.audioStreamCount == 0) return false;
    if (media.durationExact > 0) return true;
    const bool picture =
        media.videoStreamCount > 0 && leadingInteger(media.videoWidth) > 0 && leadingInteger(media.videoHeight) > 0;
    const bool sound = media.audioStreamCount > 0 && leadingInteger(media.audioChannels) > 0;
    return picture || sound;
}

}  // namespace

ProbedSource probeSourceFile(const std::string& path, MediaInfoLibrary& library) {
    ProbedSource probed;
    if (readableFileSize(path) == 0) return probed;
    if (!querySourceItem(library, path, probed.item)) return probed;
    const std::string extension = lowerCaseExtension(path);
    const bool hasStreams = hasUsableStream(probed.item.media);
    probed.verdict = hasStreams || extension == "swf" || extension == "mmf" ? ProbedSource::Verdict::Media
                                                                            : ProbedSource::Verdict::NotMedia;
    return probed;
}

bool acceptProbedSource(SourceList& list, const std::string& path, ProbedSource probed, RunObserver& observer,
                        const OptionStore* rememberIn) {
    if (probed.verdict == ProbedSource::Verdict::Skipped) return false;
    if (probed.verdict == ProbedSource::Verdict::NotMedia) {
        observer.showMessage("안내", kNotMediaMessage, MessageIcon::Error);
        return false;
    }
    const std::size_t row = list.appendItem(std::move(probed.item));
    list.selectOnly(row);
    if (const std::string_view folder = parentFolder(path); rememberIn != nullptr && !folder.empty()) {
        rememberIn->setLastOpenFolder(folder);
    }
    return true;
}

bool addSourceFile(SourceList& list, const std::string& path, MediaInfoLibrary& library, RunObserver& observer,
                   const OptionStore* rememberIn) {
    return acceptProbedSource(list, path, probeSourceFile(path, library), observer, rememberIn);
}

}  // namespace torvane
