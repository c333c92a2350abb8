#include "run/subtitle_preparation.h"

#include <unistd.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "command/command_context.h"
#include "command/encoder_choice.h"
#include "command/subtitle_use.h"
#include "media/sami_language.h"
#include "media/source_item.h"
#include "media/subtitle_discovery.h"
#include "media/subtitle_timing.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"
#include "run/swf_source.h"
#include "settings/encode_settings.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

// A subtitle file converts in well under a second; one that takes longer is given up.
constexpr auto kConversionLimit = std::chrono::seconds(20);
// Subtitle files are text of a few hundred kilobytes; anything far larger is not one.
constexpr std::size_t kLargestSubtitle = 32u << 20;

double delaySeconds(const EncodeSettings& settings) {
    const double delay = std::strtod(settings.sub_delay.c_str(), nullptr);
    return std::isfinite(delay) ? delay : 0.0;
}

bool isSami(const SourceItem& item) {
    return lowerAscii(fileExtension(item.subtitlePath)) == "smi";
}

// A work file's path: named like the Flash work files (second, process), which a later start
// cleans away when their process has gone.
std::string workFilePath(const std::string& folder, unsigned number, std::string_view extension) {
    return joinPath(folder, "tv_" + std::to_string(std::time(nullptr)) + "_" + std::to_string(::getpid()) + ".sub" +
                                std::to_string(number) + "." + std::string(extension));
}

std::string lastLine(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    const std::size_t start = text.find_last_of('\n');
    return std::string(start == std::string_view::npos ? text : text.substr(start + 1));
}

}  // namespace

SubtitlePreparation subtitlePreparation(const EncodeSettings& settings, const SourceItem& item, SubtitleUse use,
                                        Encoder encoder) {
    switch (use) {
        case SubtitleUse::Track:
            return SubtitlePreparation::TrackText;
        case SubtitleUse::Burn:
            if (encoder == Encoder::Mencoder) {
                return isSami(item) ? SubtitlePreparation::SamiForMencoder : SubtitlePreparation::None;
            }
            // ffmpeg's clock starts at 0 at the range's start: the subtitle is moved with it.
            return isSami(item) || delaySeconds(settings) != 0.0 || item.rangeStartSeconds > 0
                       ? SubtitlePreparation::AssForFfmpeg
                       : SubtitlePreparation::None;
        case SubtitleUse::None:
            break;
    }
    return SubtitlePreparation::None;
}

std::string prepareSubtitle(const std::string& ffmpegPath, const EncodeSettings& settings, const SourceItem& item,
                            SubtitlePreparation preparation, unsigned number, std::string* problem) {
    const std::string name(fileNamePart(item.subtitlePath));
    const std::string folder = swfWorkFolder();
    if (folder.empty()) {
        *problem = "자막을 준비할 임시 폴더를 만들 수 없습니다.";
        return {};
    }
    std::string input = item.subtitlePath;
    std::string charset = subtitleCharacterSet(item.subtitlePath, settings.sub_subcp);
    std::string samiCopy;
    if (isSami(item)) {
        const std::optional<std::string> bytes = readFileBytes(item.subtitlePath, kLargestSubtitle + 1);
        if (!bytes || bytes->size() > kLargestSubtitle) {
            *problem = "자막 파일을 읽을 수 없습니다: " + name;
            return {};
        }
        // The language classes are found in the bytes; UTF-16 is made UTF-8 for that first.
        std::string text = *bytes;
        if (charset.starts_with("UTF-16")) {
            text = decodeTextFile(text);
            charset = "UTF-8";
        }
        samiCopy = workFilePath(folder, number, "smi");
        if (!writeFileAtomically(samiCopy, keepOneSamiLanguage(text))) {
            ::unlink(samiCopy.c_str());
            *problem = "자막을 준비할 수 없습니다 (임시 폴더에 쓸 수 없음): " + name;
            return {};
        }
        if (preparation == SubtitlePreparation::SamiForMencoder) return samiCopy;
        input = samiCopy;
    }

    const bool track = preparation == SubtitlePreparation::TrackText;
    const bool ass = !track || subtitleTrackCodec(settings.container, item.subtitlePath) == "ass";
    const std::string output = workFilePath(folder, number, ass ? "ass" : "srt");
    std::vector<std::string> argv = {ffmpegPath, "-nostdin", "-v", "error", "-y"};
    if (!charset.empty()) argv.insert(argv.end(), {"-sub_charenc", charset});
    argv.insert(argv.end(),
                {"-i", input, "-map", "0:s:0", "-c:s", ass ? "ass" : "srt", "-f", ass ? "ass" : "srt", output});
    const std::string said = collectOutputWithin(argv, kConversionLimit);
    if (!samiCopy.empty()) ::unlink(samiCopy.c_str());
    const std::optional<std::string> converted = readFileBytes(output, kLargestSubtitle * 4);
    if (!converted || converted->empty()) {
        ::unlink(output.c_str());
        const std::string reason = lastLine(said);
        *problem = "자막을 변환할 수 없습니다: " + name + (reason.empty() ? std::string() : " (" + reason + ")");
        return {};
    }
    // The cues are moved to the output's clock here, exactly, rather than with ffmpeg's input
    // offsets, which a subtitle file's own start time and a seek would disturb. A burnt
    // subtitle is drawn before the picture's speed changes; a track plays at the output's speed.
    const double shift = delaySeconds(settings) - item.rangeStartSeconds;
    const double speed = track ? chosenSpeed(settings) : 1.0;
    if (shift != 0.0 || speed != 1.0) {
        const std::string moved = ass ? retimeAss(*converted, shift, speed) : retimeSrt(*converted, shift, speed);
        if (!writeFileAtomically(output, moved)) {
            ::unlink(output.c_str());
            *problem = "자막을 준비할 수 없습니다 (임시 폴더에 쓸 수 없음): " + name;
            return {};
        }
    }
    return output;
}

}  // namespace torvane
