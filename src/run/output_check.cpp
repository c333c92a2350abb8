#include "run/output_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "command/command_context.h"
#include "media/source_item.h"
#include "platform/file_system.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

constexpr double kRelativeSlack = 0.02;
constexpr double kAbsoluteSlackSeconds = 0.5;
constexpr double kMostExtraSeconds = 1.0;

double number(const std::string& text) {
    const double value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

}  // namespace

double speedTheCommandApplies(const EncodeSettings& settings, bool /*mencoder*/) {
    // mencoder's -speed and ffmpeg's setpts and atempo both change the length.
    return chosenSpeed(settings);
}

OutputPromise promisedOutput(const EncodeSettings& settings, const SourceItem& item, const ContainerEntry& container,
                             bool fullRun, int testSeconds, double appliedSpeed) {
    OutputPromise promise;
    const bool flash = lowerAscii(fileExtension(item.sourcePath)) == "swf";
    const bool containerHasPicture = isTruthy(container.use_video) && !isAudioOnlyContainer(settings.container);
    const bool containerHasSound = isTruthy(container.use_audio);
    const bool sourceHasPicture = flash ? !item.media.videoWidth.empty() : item.media.videoStreamCount > 0;
    const bool sourceHasSound = flash ? !item.extractedAudioPath.empty() : item.media.audioStreamCount > 0;
    promise.picture = containerHasPicture && isTruthy(settings.video_use) && sourceHasPicture;
    promise.sound = containerHasSound && isTruthy(settings.audio_use) && item.keepSound && sourceHasSound;

    // The kept streams' length: a picture shorter than the sound gives a shorter video-only file.
    double sourceSeconds = static_cast<double>(item.media.durationExact);
    const auto videoSeconds = static_cast<double>(item.media.videoSeconds);
    const auto audioSeconds = static_cast<double>(item.media.audioSeconds);
    if (promise.picture && !promise.sound && videoSeconds > 0) sourceSeconds = videoSeconds;
    if (promise.sound && !promise.picture && audioSeconds > 0) sourceSeconds = audioSeconds;
    if (promise.picture && promise.sound && videoSeconds > 0 && audioSeconds > 0) {
        sourceSeconds = std::max(videoSeconds, audioSeconds);
    }
    if (flash) {
        // The length of a movie is its frames; a movie converted to sound only has no known length.
        const double rate = number(item.media.videoFrameRate);
        sourceSeconds = promise.picture && rate > 0 ? number(item.media.videoFrameCount) / rate : 0.0;
        promise.mayRunLonger = true;
    }
    if (sourceSeconds <= 0 || (!promise.picture && !promise.sound)) return promise;
    const double end = item.rangeEndSeconds > 0 ? std::min(item.rangeEndSeconds, sourceSeconds) : sourceSeconds;
    double seconds = std::max(0.0, end - item.rangeStartSeconds) / (appliedSpeed > 0 ? appliedSpeed : 1.0);
    if (!fullRun && testSeconds > 0) seconds = std::min(seconds, static_cast<double>(testSeconds));
    promise.seconds = seconds;
    return promise;
}

std::string lengthText(double seconds) {
    const long long whole = std::llround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

std::string outputShortfall(const MediaSummary& output, const OutputPromise& promise) {
    if (output.videoStreamCount == 0 && output.audioStreamCount == 0 && output.durationExact <= 0) {
        return "출력 파일을 읽을 수 없습니다 (영상도 소리도 없습니다)";
    }
    if (promise.picture && output.videoStreamCount == 0) return "출력 파일에 영상이 없습니다";
    if (promise.sound && output.audioStreamCount == 0) return "출력 파일에 소리가 없습니다";
    if (promise.subtitleTrack && output.textStreamCount == 0) return "출력 파일에 자막 트랙이 없습니다";
    if (promise.seconds <= 0) return {};
    const double actual = static_cast<double>(output.durationExact);
    const double slack = std::max(promise.seconds * kRelativeSlack, kAbsoluteSlackSeconds);
    const bool tooShort = actual < promise.seconds - slack;
    const bool tooLong = !promise.mayRunLonger && actual > promise.seconds + std::min(slack, kMostExtraSeconds);
    if (!tooShort && !tooLong) return {};
    return "출력 길이 " + lengthText(actual) + " / 예상 " + lengthText(promise.seconds);
}

}  // namespace torvane
