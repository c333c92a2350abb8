#include "command/mencoder_command.h"

#include <sys/stat.h>
#include <cstdlib>
#include <optional>

#include "command/aspect_sizing.h"
#include "command/command_context.h"
#include "command/command_text.h"
#include "command/subtitle_use.h"
#include "media/source_item.h"
#include "media/source_range.h"
#include "media/subtitle_discovery.h"
#include "platform/file_system.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

void appendSizeFilters(std::string& cmd, const EncodeSettings& settings, const SourceItem& item) {
    if (!isTruthy(settings.video_use_size)) {
        if (!item.media.videoWidth.empty() && !item.media.videoHeight.empty() &&
            leadingInt32(item.media.videoWidth) > 0 && leadingInt32(item.media.videoHeight) > 0) {
            cmd = appendOption(cmd, "-vf-add", "scale={video_width}:{video_height}");
        }
        cmd = replaceAll(cmd, "{video_width}", item.media.videoWidth);
        cmd = replaceAll(cmd, "{video_height}", item.media.videoHeight);
        return;
    }
    const bool sizeGiven = !settings.video_width.empty() && !settings.video_height.empty() &&
                           settings.video_width != kKeepSourceValue && settings.video_height != kKeepSourceValue;
    if (!sizeGiven) return;
    std::optional<AspectSizes> sizes;
    if (isTruthy(settings.video_use_sameratio)) {
        sizes = fitKeepingAspect(leadingInt32(item.media.videoWidth), leadingInt32(item.media.videoHeight),
                                 leadingInt32(settings.video_width), leadingInt32(settings.video_height),
                                 isTruthy(settings.video_use_crop));
        // Without a size on both sides the aspect ratios are undefined: no size filter then.
        if (!sizes) return;
        cmd = appendOption(cmd, "-vf-add", "crop={crop_width}:{crop_height}:-1:-1");
        cmd = appendOption(cmd, "-vf-add", "scale={scale_width}:{scale_height}");
        cmd = appendOption(cmd, "-vf-add", "expand={expand_width}:{expand_height}:-1:-1:1");
    } else {
        sizes = AspectSizes{0, 0, leadingInt32(settings.video_width), leadingInt32(settings.video_height), 0, 0};
        cmd = appendOption(cmd, "-vf-add", "scale={scale_width}:{scale_height}");
    }
    replaceSizeFields(cmd, item, *sizes);
}

void appendSubtitles(std::string& cmd, const EncodeSettings& settings, const SourceItem& item,
                     const CommandContext& context) {
    if (!isTruthy(settings.sub_use) || item.subtitlePath.empty()) return;
    // A SAMI file is given as the run's copy with one language left in it.
    const std::string& subtitle = item.preparedSubtitlePath.empty() ? item.subtitlePath : item.preparedSubtitlePath;
    cmd = appendOption(cmd, "-sub", quoted(subtitle));
    // mencoder draws text subtitles only through its ASS renderer, in the font we name.
    cmd = appendOption(cmd, "-ass", "");
    const std::string font =
        replaceAll(replaceAll(settings.sub_font, "{subfontdir}", context.placeholders.subtitleFontFolder),
                   "{sysfontdir}", context.placeholders.fontsFolder);
    if (!font.empty() && isFileNotFolder(font)) cmd = appendOption(cmd, "-font", quoted(font));
    // The character set is read from the file: a UTF-8 subtitle with the preset's cp949 is no
    // longer garbled.
    if (const std::string charset = subtitleCharacterSet(subtitle, settings.sub_subcp); !charset.empty()) {
        cmd = appendOption(cmd, "-subcp", charset);
    }
    if (!settings.sub_pos.empty()) cmd = appendOption(cmd, "-subpos", settings.sub_pos);
    // The ASS renderer ignores the position, outline and blur options below: its style is told
    // them, as ffmpeg's is.
    if (const std::string style = burntSubtitleStyle(settings, false); !style.empty()) {
        cmd = appendOption(cmd, "-ass-force-style", style);
    }
    if (!settings.sub_blur.empty()) cmd = appendOption(cmd, "-subfont-blur", settings.sub_blur);
    if (!settings.sub_outline.empty()) cmd = appendOption(cmd, "-subfont-outline", settings.sub_outline);
    if (!settings.sub_textscale.empty()) cmd = appendOption(cmd, "-subfont-text-scale", settings.sub_textscale);
    if (!settings.sub_delay.empty() && settings.sub_delay != "0")
        cmd = appendOption(cmd, "-subdelay", settings.sub_delay);
}

// The -endpos of the item: seconds of output after -ss, from the range's end and the test-encode
// limit, whichever comes first. mencoder never ends when -endpos is exactly the length of what it
// writes, so a stop at the source's end goes without -endpos.
std::optional<double> endPosition(const EncodeSettings& settings, const SourceItem& item,
                                  const CommandContext& context) {
    double speed = 1.0;
    if (isTruthy(settings.use_speed) && settings.speed != "1" && settings.speed != "1.0") {
        if (const double chosen = std::strtod(settings.speed.c_str(), nullptr); chosen > 0) speed = chosen;
    }
    std::optional<double> outputSeconds;
    if (item.rangeEndSeconds > 0) outputSeconds = (item.rangeEndSeconds - item.rangeStartSeconds) / speed;
    const auto testSeconds = static_cast<double>(context.testEncodeSeconds);
    if (!context.fullRun && (!outputSeconds || testSeconds < *outputSeconds)) outputSeconds = testSeconds;
    if (!outputSeconds) return std::nullopt;
    const double sourceLeft = item.media.durationExact - item.rangeStartSeconds;
    if (item.media.durationExact > 0 && *outputSeconds >= sourceLeft / speed - 0.5) return std::nullopt;
    return outputSeconds;
}

}  // namespace

int mencoderVolumeGain(std::string_view volumePercent) {
    const long long difference = leadingInteger(volumePercent) - 100;
    if (difference > 0) return static_cast<int>(difference / 25);
    if (difference < 0) return static_cast<int>(difference / 7);
    return 0;
}

std::string buildMencoderCommand(const EncodeSettings& settings, SourceItem& item, std::size_t /*row*/,
                                 const CommandContext& context) {
    const ContainerEntry& container = context.catalogue->findContainer(settings.container);
    const CommandPaths paths = makeOutputPath(settings, item, container, context.output, context.temporaryOutputTag);
    if (paths.inputPath.empty()) return {};

    std::string cmd = quoted(context.mencoderPath);
    cmd = appendOption(cmd, "", "\"{infile}\"");
    cmd = appendOption(cmd, "-o", "\"{outfile}\"");
    cmd = appendOption(cmd, "-mc", "0");
    if (!container.opt_of.empty()) cmd = appendOption(cmd, container.opt_of, "");

    // mencoder does not make the folder it writes into; one level is made here.
    if (const std::string folder(parentFolder(item.outputPath)); !folder.empty() && !isDirectory(folder)) {
        ::mkdir(folder.c_str(), 0777);
    }

    if (isTruthy(settings.video_use)) {
        cmd = appendOption(cmd, container.findVideoCodec(settings.video_codec).param, "");
        if (settings.video_codec != "copy") {
            appendSizeFilters(cmd, settings, item);
            const bool useSetting = isTruthy(settings.video_use_fps) && !settings.video_fps.empty() &&
                                    settings.video_fps != kKeepSourceValue;
            const bool useSource = !isTruthy(settings.video_use_fps) || settings.video_fps == kKeepSourceValue;
            const std::string rate = useSetting ? settings.video_fps : useSource ? item.media.videoFrameRate : "";
            if (!rate.empty()) cmd = appendOption(cmd, "-ofps", encoderFrameRate(rate));
            if (isTruthy(settings.filter_flip)) cmd = appendOption(cmd, "-vf-add", "flip");
            if (isTruthy(settings.filter_mirror)) cmd = appendOption(cmd, "-vf-add", "mirror");
            if (settings.filter_ratate == "90") cmd = appendOption(cmd, "-vf-add", "rotate=1");
            if (settings.filter_ratate == "-90") cmd = appendOption(cmd, "-vf-add", "rotate=2");
            if (isTruthy(settings.filter_harddup)) cmd = appendOption(cmd, "-vf-add", "harddup");
            appendSubtitles(cmd, settings, item, context);
        }
    } else {
        cmd = appendOption(cmd, "-ovc", "frameno");
    }

    if (isTruthy(settings.audio_use) && item.keepSound) {
        cmd = appendOption(cmd, container.findAudioCodec(settings.audio_codec).param, "");
        if (settings.audio_codec != "copy") {
            if (isTruthy(settings.audio_use_srate)) {
                cmd = appendOption(cmd, "-srate", "{srate}");
                cmd = appendOption(cmd, "-af-add", "lavcresample={srate}");
            }
            if (settings.volume != "100") {
                if (const int gain = mencoderVolumeGain(settings.volume); gain != 0) {
                    cmd = appendOption(cmd, "-af-add", "volume=" + std::to_string(gain) + ":1");
                }
            }
            cmd = appendOption(cmd, "-channels", "{channels}");
        }
    } else {
        cmd = appendOption(cmd, "-nosound", "");
    }

    cmd = appendOption(cmd, "-noodml", "");
    if (!settings.sws.empty()) cmd = appendOption(cmd, "-sws", "{sws}");
    if (isTruthy(settings.use_speed) && settings.speed != "1" && settings.speed != "1.0") {
        cmd = appendOption(cmd, "-speed", "{speed}");
    }
    if (!settings.plusparam.empty()) cmd = appendOption(cmd, settings.plusparam, "");
    if (item.rangeStartSeconds > 0) cmd = appendOption(cmd, "-ss", encoderSecondsText(item.rangeStartSeconds));
    if (const std::optional<double> end = endPosition(settings, item, context)) {
        cmd = appendOption(cmd, "-endpos", encoderSecondsText(*end));
    }
    return expandPlaceholders(cmd, settings, item, paths.inputPath, paths.outputPath, context.placeholders);
}

}  // namespace torvane
