#include "command/settings_summary.h"

#include "command/encoder_choice.h"
#include "command/output_naming.h"
#include "command/placeholders.h"
#include "command/subtitle_use.h"
#include "media/source_item.h"
#include "media/source_range.h"
#include "run/time_size_text.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

constexpr std::string_view kLineBreak = "\n";

std::string fileRow(const EncodeSettings& settings, const FormatCatalogue& catalogue, const SourceItem& item,
                    const PlaceholderValues& values) {
    std::string row = outputFileName(settings, item, catalogue.findContainer(settings.container));
    row += kLineBreak;
    if (settings.container != "etc") {
        const long long totalBitrate = leadingInteger(settings.video_bitrate) + leadingInteger(settings.audio_bitrate);
        // The output lasts as long as the part of the source that is converted.
        const auto seconds =
            hasRange(item) ? static_cast<std::int32_t>(convertedSeconds(item) + 0.5) : item.media.durationSeconds;
        row += settings.container + "  " + formatDuration(seconds, DurationStyle::Clock) + "  " +
               std::to_string(totalBitrate) + "Kbps";
    }
    return expandPlaceholders(row, settings, item, item.sourcePath, item.outputPath, values);
}

// The catalogue's name for a codec ("H.264 High 3.1 (720p 기기용)"), not its internal id
// ("h264_high31"); the id itself for a codec the format does not list.
std::string codecName(const std::string& title, const std::string& id) {
    return title.empty() ? id : title;
}

std::string videoRow(const EncodeSettings& settings, const ContainerEntry& container) {
    if (!isTruthy(settings.video_use)) return {};
    std::string row =
        codecName(container.findVideoCodec(settings.video_codec).title, settings.video_codec) + std::string(kLineBreak);
    if (settings.video_codec == "copy") return row;
    row += settings.video_width.empty() ? std::string("원본크기") : settings.video_width + "x" + settings.video_height;
    row += "  " + settings.video_fps + " fps  " + settings.video_bitrate + " Kbps";
    return row;
}

std::string audioRow(const EncodeSettings& settings, const ContainerEntry& container) {
    if (!isTruthy(settings.audio_use)) return {};
    std::string row =
        codecName(container.findAudioCodec(settings.audio_codec).title, settings.audio_codec) + std::string(kLineBreak);
    if (settings.audio_codec == "copy") return row;
    row += settings.audio_vbr + "    " + settings.audio_bitrate + " Kbps  " + settings.audio_channels + " Ch  " +
           settings.audio_srate + " Hz";
    return row;
}

}  // namespace

SettingsSummary summarizeSettings(const EncodeSettings& settings, const FormatCatalogue& catalogue,
                                  const SourceItem& item, const PlaceholderValues& values) {
    SettingsSummary summary;
    summary.file = fileRow(settings, catalogue, item, values);
    const ContainerEntry& container = catalogue.findContainer(settings.container);
    summary.video = videoRow(settings, container);
    if (item.keepSound) summary.audio = audioRow(settings, container);
    const Encoder encoder = chooseEncoder(settings, item, container);
    summary.other = subtitleUseText(subtitleUse(settings, item, encoder), item);
    return summary;
}

}  // namespace torvane
