#include "command/subtitle_use.h"

#include <algorithm>

#include "command/command_context.h"
#include "command/encoder_choice.h"
#include "media/source_item.h"
#include "platform/file_system.h"
#include "settings/encode_settings.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

bool hasSubtitleToUse(const EncodeSettings& settings, const SourceItem& item) {
    return isTruthy(settings.sub_use) && !item.subtitlePath.empty() && item.media.videoStreamCount > 0 &&
           isTruthy(settings.video_use) && !isAudioOnlyContainer(settings.container);
}

}  // namespace

std::string_view subtitleTrackCodec(std::string_view container, const std::string& subtitlePath) {
    const std::string format = lowerAscii(container);
    if (format == "mkv") {
        const std::string extension = lowerAscii(fileExtension(subtitlePath));
        return extension == "ass" || extension == "ssa" ? "ass" : "srt";
    }
    if (format == "mp4" || format == "m4v" || format == "mov" || format == "3gp" || format == "3g2") return "mov_text";
    if (format == "webm") return "webvtt";
    return {};
}

bool wantsSubtitleTrack(const EncodeSettings& settings, const SourceItem& item) {
    return hasSubtitleToUse(settings, item) && isTruthy(settings.sub_embed) &&
           !subtitleTrackCodec(settings.container, item.subtitlePath).empty();
}

SubtitleUse subtitleUse(const EncodeSettings& settings, const SourceItem& item, Encoder encoder) {
    if (!hasSubtitleToUse(settings, item)) return SubtitleUse::None;
    if (encoder == Encoder::Ffmpeg && wantsSubtitleTrack(settings, item)) return SubtitleUse::Track;
    // A copied picture cannot be drawn on.
    if (settings.video_codec == "copy") return SubtitleUse::None;
    return SubtitleUse::Burn;
}

std::string burntSubtitleStyle(const EncodeSettings& settings, bool fontSize) {
    std::string style;
    const auto add = [&style](std::string_view field, int value) {
        style += (style.empty() ? "" : ",") + std::string(field) + "=" + std::to_string(value);
    };
    // mencoder's text scale 4 draws text as tall as libass's size 16 (measured on one clip
    // through both encoders).
    if (fontSize) add("Fontsize", std::max(leadingInt32(settings.sub_textscale), 1) * 4);
    if (!settings.sub_outline.empty()) add("Outline", std::clamp(leadingInt32(settings.sub_outline), 0, 100));
    if (!settings.sub_blur.empty()) add("Blur", std::clamp(leadingInt32(settings.sub_blur), 0, 100));
    if (!settings.sub_pos.empty())
        add("MarginV", (100 - std::clamp(leadingInt32(settings.sub_pos), 0, 100)) * 288 / 100);
    return style;
}

std::string subtitleUseText(SubtitleUse use, const SourceItem& item) {
    const std::string name(fileNamePart(item.subtitlePath));
    switch (use) {
        case SubtitleUse::Burn:
            return "자막 입힘: " + name;
        case SubtitleUse::Track:
            return "자막 트랙(한국어): " + name;
        case SubtitleUse::None:
            break;
    }
    return {};
}

}  // namespace torvane
