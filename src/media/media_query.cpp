#include "media/media_query.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "media/mediainfo_library.h"
#include "media/probe_path.h"
#include "media/subtitle_discovery.h"
#include "platform/file_system.h"
#include "platform/name_text.h"
#include "run/time_size_text.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

using Kind = MediaInfoLibrary::StreamKind;

std::string trimReport(std::string text) {
    const auto isTrimmed = [](char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; };
    std::size_t start = 0;
    while (start < text.size() && isTrimmed(text[start])) ++start;
    std::size_t end = text.size();
    while (end > start && isTrimmed(text[end - 1])) --end;
    return text.substr(start, end - start);
}

// The shared part of both queries: reports, texts, stream counts and whole-second duration.
// Returns the library's Duration text for the caller's own use.
std::string probeInto(MediaInfoLibrary::Session& session, const std::string& path, MediaSummary& media) {
    const ProbePath probe(path);
    session.open(probe.path());
    // Each report is taken right after its own options: the options stay set in the library.
    session.option("Inform", "Summary");
    media.informSummary = trimReport(probe.shown(session.inform()));
    session.option("Complete", "");
    session.option("Inform", "");
    media.informNormal = trimReport(probe.shown(session.inform()));
    session.option("Complete", "1");
    session.option("Inform", "");
    media.informComplete = trimReport(probe.shown(session.inform()));

    media.completeName = probe.shown(session.get(Kind::General, "CompleteName"));
    media.encodedApplication = session.get(Kind::General, "Encoded_Application");
    media.encodedLibrary = session.get(Kind::General, "Encoded_Library");
    media.fileSizeText = session.get(Kind::General, "FileSize/String");
    media.generalCodec = session.get(Kind::General, "Codec");
    media.generalFormat = session.get(Kind::General, "Format");
    media.generalFormatProfile = session.get(Kind::General, "Format_Profile");
    media.overallBitRate = session.get(Kind::General, "OverallBitRate/String");

    media.videoCodec = session.get(Kind::Video, "Codec");
    media.videoCodecInfo = session.get(Kind::Video, "Codec/Info");
    media.videoCodecUrl = session.get(Kind::Video, "Codec/Url");
    media.videoCodecId = session.get(Kind::Video, "CodecID");
    media.videoCodecIdInfo = session.get(Kind::Video, "CodecID/Info");
    media.videoCodecIdHint = session.get(Kind::Video, "CodecID/Hint");
    media.videoCodecIdUrl = session.get(Kind::Video, "CodecID/Url");
    media.videoFormatProfile = session.get(Kind::Video, "Format_Profile");
    media.videoFormat = session.get(Kind::Video, "Format");
    media.videoFrameCount = session.get(Kind::Video, "FrameCount");
    media.videoFrameRate = session.get(Kind::Video, "FrameRate");
    media.videoBitRate = session.get(Kind::Video, "BitRate/String");
    media.videoAspectRatio = session.get(Kind::Video, "DisplayAspectRatio");
    if (const std::string count = session.get(Kind::Video, "StreamCount"); !count.empty()) {
        media.videoStreamCount = leadingInt32(count);
    }
    media.videoWidth = session.get(Kind::Video, "Width");
    media.videoHeight = session.get(Kind::Video, "Height");
    media.videoRotation = session.get(Kind::Video, "Rotation");

    media.audioCodec = session.get(Kind::Audio, "Codec/String");
    media.audioCodecInfo = session.get(Kind::Audio, "Codec/Info");
    media.audioCodecUrl = session.get(Kind::Audio, "Codec/Url");
    media.audioCodecId = session.get(Kind::Audio, "CodecID");
    media.audioCodecIdInfo = session.get(Kind::Audio, "CodecID/Info");
    media.audioCodecIdHint = session.get(Kind::Audio, "CodecID/Hint");
    media.audioCodecIdUrl = session.get(Kind::Audio, "CodecID/Url");
    media.audioFormat = session.get(Kind::Audio, "Format");
    media.audioFormatProfile = session.get(Kind::Audio, "Format_Profile");
    if (const std::string count = session.get(Kind::Audio, "StreamCount"); !count.empty()) {
        media.audioStreamCount = leadingInt32(count);
    }
    media.audioChannels = session.get(Kind::Audio, "Channel(s)");

    media.videoSeconds = static_cast<float>(leadingInteger(session.get(Kind::Video, "Duration"))) * 0.001f;
    media.audioSeconds = static_cast<float>(leadingInteger(session.get(Kind::Audio, "Duration"))) * 0.001f;
    std::string duration = session.get(Kind::General, "Duration");
    if (!duration.empty()) media.durationSeconds = leadingInt32(duration) / 1000;
    return duration;
}

std::uint64_t sizeOfFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

// The panel's facts are joined only where they exist: a sound-only or partly known file must not
// read as "x (),  fps," or "AC-3CBR".
std::string joinPresent(std::initializer_list<std::string> parts, std::string_view separator) {
    std::string text;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

// "name(detail)", or the name alone when the detail is unknown; nothing without a name.
std::string withDetail(const std::string& name, const std::string& detail) {
    if (name.empty()) return {};
    return detail.empty() ? name : name + "(" + detail + ")";
}

std::string withUnit(const std::string& value, std::string_view unit) {
    return value.empty() ? std::string() : value + std::string(unit);
}

// A row's two lines; the break only when both have something to say.
std::string twoLines(const std::string& first, const std::string& second) {
    return joinPresent({first, second}, "\r\n");
}

std::string makeFileLine(const MediaSummary& media) {
    return twoLines(std::string(fileNamePart(media.completeName)),
                    joinPresent({withDetail(media.generalFormat, media.generalFormatProfile),
                                 formatDuration(media.durationSeconds, DurationStyle::Clock), media.overallBitRate},
                                ", "));
}

std::string makeVideoLine(const MediaSummary& media) {
    const std::string size = media.videoWidth.empty() || media.videoHeight.empty()
                                 ? std::string()
                                 : media.videoWidth + "x" + media.videoHeight;
    const std::string shape =
        joinPresent({size, media.videoAspectRatio.empty() ? std::string() : "(" + media.videoAspectRatio + ")"}, " ");
    // Current library releases leave the old Codec field empty; the format name says the same.
    const std::string& codec = media.videoCodec.empty() ? media.videoFormat : media.videoCodec;
    return twoLines(withDetail(codec, media.videoFormatProfile),
                    joinPresent({shape, withUnit(media.videoFrameRate, " fps"), media.videoBitRate}, ", "));
}

std::string makeAudioLine(MediaInfoLibrary::Session& session, const MediaSummary& media) {
    return twoLines(withDetail(media.audioFormat, media.audioFormatProfile),
                    joinPresent({session.get(Kind::Audio, "BitRate_Mode"), session.get(Kind::Audio, "BitRate/String"),
                                 withUnit(session.get(Kind::Audio, "Channel(s)"), " Ch"),
                                 session.get(Kind::Audio, "SamplingRate/String")},
                                ", "));
}

}  // namespace

void queryMediaSummary(const std::string& path, MediaSummary& summary) {
    queryMediaSummary(MediaInfoLibrary::instance(), path, summary);
}

void queryMediaSummary(MediaInfoLibrary& library, const std::string& path, MediaSummary& summary) {
    auto session = library.newSession();
    if (!session) return;
    probeInto(*session, path, summary);
}

bool querySourceItem(const std::string& path, SourceItem& item) {
    return querySourceItem(MediaInfoLibrary::instance(), path, item);
}

bool querySourceItem(MediaInfoLibrary& library, const std::string& path, SourceItem& item) {
    item.sourcePath = path;
    item.fileSize = sizeOfFile(path);
    item.itemId = newItemId();
    item.subtitlePath = findSubtitleFile(path);
    auto session = library.newSession();
    if (!session) return false;

    const std::string duration = probeInto(*session, path, item.media);
    item.media.durationExact = static_cast<float>(leadingInteger(duration)) * 0.001f;
    item.fileLine = makeFileLine(item.media);
    item.videoLine = makeVideoLine(item.media);
    item.audioLine = makeAudioLine(*session, item.media);
    item.subtitleLine = nameText(fileNamePart(item.subtitlePath));
    return true;
}

std::string newItemId() {
    std::array<unsigned char, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) continue;
            return {};
        }
        filled += static_cast<std::size_t>(got);
    }
    // A version-4 id, as the system's GUID maker gives.
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    bool allZero = true;
    for (const unsigned char byte : bytes) allZero = allZero && byte == 0;
    if (allZero) return {};
    char text[40];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02x%02x-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

}  // namespace torvane
