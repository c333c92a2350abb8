#include "command/ffmpeg_command.h"

#include <algorithm>
#include <cstdio>

#include "command/aspect_sizing.h"
#include "command/command_context.h"
#include "command/command_text.h"
#include "command/encoder_choice.h"
#include "command/subtitle_use.h"
#include "media/source_item.h"
#include "media/source_range.h"
#include "media/subtitle_discovery.h"
#include "platform/file_system.h"
#include "platform/font_family.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

// Escapes a file name for an option value inside an ffmpeg filter graph: once for the
// option parser (\ ' :), once more for the graph parser (\ ' [ ] , ;).
std::string filterPathArgument(std::string_view path) {
    std::string level1;
    for (const char c : path) {
        if (c == '\\' || c == '\'' || c == ':') level1 += '\\';
        level1 += c;
    }
    std::string level2;
    for (const char c : level1) {
        if (c == '\\' || c == '\'' || c == '[' || c == ']' || c == ',' || c == ';') level2 += '\\';
        level2 += c;
    }
    return level2;
}

// Appends a filter to the chain: after a comma when the chain has one already, else as -vf.
void addToChain(std::string& chain, std::string_view filters) {
    chain = chain.empty() ? "-vf " + std::string(filters) : chain + std::string(filters);
    chain = replaceAll(chain, "-vf ,", "-vf ");
}

// libass's subtitles filter for a burnt-in subtitle: its character set as read from the file,
// the preset's font folder, and the size, outline and position mencoder is given.
std::string subtitleFilter(const EncodeSettings& settings, const SourceItem& item, const CommandContext& context) {
    if (subtitleUse(settings, item, Encoder::Ffmpeg) != SubtitleUse::Burn) return {};
    std::string filter;
    if (!item.preparedSubtitlePath.empty()) {
        // Converted by the run beforehand: UTF-8, one language, on the output's clock.
        filter = "subtitles=filename=" + filterPathArgument(item.preparedSubtitlePath);
    } else {
        // Only a command shown without running it gets here with a SAMI file or a delay: a run
        // prepares those first (see subtitle_preparation.h).
        filter = "subtitles=filename=" + filterPathArgument(item.subtitlePath);
        if (const std::string charset = subtitleCharacterSet(item.subtitlePath, settings.sub_subcp); !charset.empty()) {
            filter += ":charenc=" + filterPathArgument(charset);
        }
    }
    const std::string font =
        replaceAll(replaceAll(settings.sub_font, "{subfontdir}", context.placeholders.subtitleFontFolder),
                   "{sysfontdir}", context.placeholders.fontsFolder);
    std::string style = burntSubtitleStyle(settings, true);
    if (!font.empty() && isFileNotFolder(font)) {
        filter += ":fontsdir=" + filterPathArgument(parentFolder(font));
        // libass picks fonts by family, and finds the preset's among the folder's fonts only by
        // the name the file gives itself. A comma would end the style's field early.
        if (const std::string family = fontFamilyName(font);
            !family.empty() && family.find_first_of(",\n\r") == std::string::npos) {
            style += ",FontName=" + family;
        }
    }
    return filter + ":force_style=" + filterPathArgument(style);
}

std::string filterChain(const EncodeSettings& settings, const SourceItem& item, std::string& cmd,
                        const CommandContext& context) {
    std::string chain;
    if (isTruthy(settings.video_use_size)) {
        const bool sizeGiven = !settings.video_width.empty() && !settings.video_height.empty() &&
                               settings.video_width != kKeepSourceValue && settings.video_height != kKeepSourceValue;
        std::optional<AspectSizes> sizes;
        if (sizeGiven && isTruthy(settings.video_use_sameratio)) {
            sizes = fitKeepingAspect(leadingInt32(item.media.videoWidth), leadingInt32(item.media.videoHeight),
                                     leadingInt32(settings.video_width), leadingInt32(settings.video_height),
                                     isTruthy(settings.video_use_crop));
            chain =
                "-vf crop={crop_width}:{crop_height}:({video_width}-{crop_width})/2:({video_height}-{crop_height})/2,"
                "scale={scale_width}:{scale_height},pad={expand_width}:{expand_height}:({expand_width}-{scale_width})/"
                "2:({expand_height}-{scale_height})/2:black";
            // Without a size on both sides the aspect ratios are undefined: no size filter then.
            if (!sizes) chain.clear();
        } else if (sizeGiven) {
            sizes = AspectSizes{0, 0, leadingInt32(settings.video_width), leadingInt32(settings.video_height), 0, 0};
            chain = "-vf scale={scale_width}:{scale_height}";
        }
        if (sizes) {
            replaceSizeFields(chain, item, *sizes);
            replaceSizeFields(cmd, item, *sizes);
        }
    } else {
        if (!item.media.videoWidth.empty() && !item.media.videoHeight.empty() &&
            leadingInt32(item.media.videoWidth) > 0 && leadingInt32(item.media.videoHeight) > 0) {
            chain = "-vf scale=" + item.media.videoWidth + ":" + item.media.videoHeight;
        }
        cmd = replaceAll(cmd, "{video_width}", item.media.videoWidth);
        cmd = replaceAll(cmd, "{video_height}", item.media.videoHeight);
    }

    // Subtitles are drawn where the picture has its final size, before it is turned, so the text
    // stands upright in the output as mencoder draws it.
    if (const std::string subtitles = subtitleFilter(settings, item, context); !subtitles.empty()) {
        addToChain(chain, "," + subtitles);
    }
    const bool flip = isTruthy(settings.filter_flip);
    const bool mirror = isTruthy(settings.filter_mirror);
    if (flip || mirror) addToChain(chain, std::string(flip ? ",vflip" : "") + (mirror ? ",hflip" : ""));
    if (settings.filter_ratate != "0") {
        const std::string_view rotate = settings.filter_ratate == "90"    ? ",transpose=1"
                                        : settings.filter_ratate == "-90" ? ",transpose=2"
                                                                          : "";
        addToChain(chain, rotate);
        // "-vf " alone, from a rotation value that means none, is no filter.
        if (chain == "-vf ") chain.clear();
    }
    if (const std::string logo = logoFilter(context); !logo.empty()) chain = "-vf " + logo;
    return chain;
}

// The picture played faster or slower: its timestamps divided by the speed. With the logo's
// graph the stage goes before its output label.
void addSpeedToChain(std::string& chain, double speed) {
    char stage[48];
    std::snprintf(stage, sizeof stage, "setpts=PTS/%.6g", speed);
    if (const auto out = chain.rfind(" [out]"); out != std::string::npos) {
        chain.insert(out, std::string(",") + stage);
    } else if (chain.empty()) {
        chain = std::string("-vf ") + stage;
    } else {
        chain += std::string(",") + stage;
    }
}

void appendFrameRate(std::string& cmd, const EncodeSettings& settings, const SourceItem& item) {
    std::string rate;
    if (isTruthy(settings.video_use_fps)) {
        rate = settings.video_fps == kKeepSourceValue ? item.media.videoFrameRate : settings.video_fps;
    } else {
        rate = item.media.videoFrameRate;
    }
    if (!rate.empty()) cmd = appendOption(cmd, "-r", encoderFrameRate(rate));
}

}  // namespace

std::string atempoChain(double speed) {
    // One atempo stage keeps its quality between half and twice the speed: others are chained.
    std::string chain;
    const auto stage = [&chain](double factor) {
        char text[32];
        std::snprintf(text, sizeof text, "%satempo=%.6g", chain.empty() ? "" : ",", factor);
        chain += text;
    };
    for (; speed > 2.0; speed /= 2.0) stage(2.0);
    for (; speed < 0.5; speed /= 0.5) stage(0.5);
    stage(speed);
    return chain;
}

std::string logoFilter(const CommandContext& context) {
    if (context.options == nullptr || context.options->getOption("logouse", "n") != "y") return {};
    std::string logo = context.options->getOption("logopath", "");
    if (logo.empty()) {
        const std::string beside = joinPath(context.placeholders.programFolder, "logo.png");
        if (pathExists(beside)) logo = beside;
    }
    if (logo.empty() || !isFileNotFolder(logo) || context.cacheFolder.empty()) return {};
    // The encoder reads a copy in our own cache folder: the logo may move while a list runs.
    const std::string copy = joinPath(context.cacheFolder, "temp_logo.png");
    const auto bytes = readFileBytes(logo, 64 * 1024 * 1024);
    if (!bytes || !makeFolders(context.cacheFolder) || !writeFileAtomically(copy, *bytes)) return {};

    const std::string corner = context.options->getOption("logocorner", "4");
    // Distances are numbers; anything else in the stored text must not reach the filter graph.
    const std::string x = std::to_string(context.options->getOptionInt("logox", "5"));
    const std::string y = std::to_string(context.options->getOptionInt("logoy", "5"));
    std::string position;
    if (corner == "1") position = x + ":" + y;
    if (corner == "2") position = "main_w-overlay_w-" + x + ":" + y;
    if (corner == "3") position = x + ":main_h-overlay_h-" + y;
    if (corner == "4") position = "main_w-overlay_w-" + x + ":main_h-overlay_h-" + y;
    return quoted("movie=" + filterPathArgument(copy) + " [watermark];[in][watermark] overlay=" + position + " [out]");
}

std::string buildFfmpegCommand(const EncodeSettings& settings, SourceItem& item, std::size_t row,
                               const CommandContext& context) {
    item.workPath.clear();
    item.extractedAudioPath.clear();
    const std::string extension = lowerAscii(fileExtension(item.sourcePath));
    const bool isFlash = extension == "swf";
    if (isFlash && context.prepareFlashSource) context.prepareFlashSource(item, row);

    const ContainerEntry& container = context.catalogue->findContainer(settings.container);
    const CommandPaths paths = makeOutputPath(settings, item, container, context.output, context.temporaryOutputTag);
    if (paths.inputPath.empty()) return {};

    std::string cmd = quoted(context.ffmpegPath);
    cmd = appendOption(cmd, "-y", "");

    const bool audioOnly = isAudioOnlyContainer(settings.container);
    const bool framesFromPipe =
        isFlash && !audioOnly && context.options != nullptr && context.options->getOption("swfmethodframe", "y") == "y";
    if (framesFromPipe) {
        const std::string pipeId = framePipeId(context.launchCounter, row);
        cmd = appendOption(cmd, "-r", encoderFrameRate(item.media.videoFrameRate));
        cmd = appendOption(cmd, "-f", "rawvideo");
        cmd = appendOption(cmd, "-pix_fmt", "bgr24");
        cmd = appendOption(cmd, "-vcodec", "rawvideo");
        cmd = appendOption(cmd, "-s", item.media.videoWidth + "x" + item.media.videoHeight);
        cmd = appendOption(cmd, "-i", quoted(framePipePath(pipeId)));
    }
    if (!item.extractedAudioPath.empty()) {
        // A Flash movie's sound, taken out beforehand, is cut to the range its frames are sent for.
        if (item.rangeStartSeconds > 0) cmd = appendOption(cmd, "-ss", encoderSecondsText(item.rangeStartSeconds));
        if (item.rangeEndSeconds > 0) cmd = appendOption(cmd, "-to", encoderSecondsText(item.rangeEndSeconds));
        cmd = appendOption(cmd, "-i", quoted(item.extractedAudioPath));
    }
    if (!framesFromPipe && !(isFlash && audioOnly)) {
        // Input options: ffmpeg seeks in the source, and its clock starts at 0 at the range's start.
        if (item.rangeStartSeconds > 0) cmd = appendOption(cmd, "-ss", encoderSecondsText(item.rangeStartSeconds));
        if (item.rangeEndSeconds > 0) cmd = appendOption(cmd, "-to", encoderSecondsText(item.rangeEndSeconds));
        cmd = appendOption(cmd, "-i", "\"{infile}\"");
    }
    const bool subtitleTrack = !isFlash && subtitleUse(settings, item, Encoder::Ffmpeg) == SubtitleUse::Track;
    if (subtitleTrack) {
        // The run's UTF-8 copy, already on the output's clock; the source's first picture and
        // sound go with it.
        const std::string& subtitle = item.preparedSubtitlePath.empty() ? item.subtitlePath : item.preparedSubtitlePath;
        cmd = appendOption(cmd, "-i", quoted(subtitle));
        cmd = appendOption(cmd, "-map", "0:v:0?");
        cmd = appendOption(cmd, "-map", "0:a:0?");
        cmd = appendOption(cmd, "-map", "1:s:0");
    }

    const bool videoCopied = isTruthy(settings.video_use) && settings.video_codec == "copy";
    if (isTruthy(settings.video_use)) {
        cmd = appendOption(cmd, container.findVideoCodec(settings.video_codec).param2, "");
        if (!videoCopied) {
            if (settings.video_codec.empty()) cmd = appendOption(cmd, "-b:v", "{vbitrate}k");
            // ffmpeg turns a rotated picture upright before the filters: they see it as shown.
            SourceItem shown = item;
            if (const int rotation = leadingInt32(item.media.videoRotation); rotation == 90 || rotation == 270) {
                std::swap(shown.media.videoWidth, shown.media.videoHeight);
            }
            std::string chain = filterChain(settings, shown, cmd, context);
            if (const double speed = chosenSpeed(settings); speed != 1.0) addSpeedToChain(chain, speed);
            // A subtitle's path may hold blanks: the graph is then one quoted argument.
            if (chain.find("subtitles=filename=") != std::string::npos) chain = "-vf " + quoted(chain.substr(4));
            if (!chain.empty() && !cmd.empty()) cmd += " " + chain;
            appendFrameRate(cmd, settings, item);
        }
    } else {
        cmd = appendOption(cmd, "-vn", "");
    }

    if (isTruthy(settings.audio_use) && item.keepSound) {
        cmd = appendOption(cmd, container.findAudioCodec(settings.audio_codec).param2, "");
        if (settings.audio_codec != "copy") {
            if (settings.audio_codec.empty()) cmd = appendOption(cmd, "-b:a", "{abitrate}k");
            if (isTruthy(settings.audio_use_srate)) cmd = appendOption(cmd, "-ar", "{srate}");
            if (settings.volume != "100") {
                // ffmpeg's -vol counts 256 as the source's level.
                const auto scaled = static_cast<long long>(static_cast<double>(leadingInteger(settings.volume)) * 2.56);
                cmd = appendOption(cmd, "-vol", std::to_string(scaled));
            }
            cmd = appendOption(cmd, "-ac", "{channels}");
            if (const double speed = chosenSpeed(settings); speed != 1.0)
                cmd = appendOption(cmd, "-af", atempoChain(speed));
        }
    } else {
        cmd = appendOption(cmd, "-an", "");
    }

    if (subtitleTrack) {
        cmd = appendOption(cmd, "-c:s", std::string(subtitleTrackCodec(settings.container, item.subtitlePath)));
        cmd = appendOption(cmd, "-metadata:s:s:0", "language=kor");
    }
    // Before the preset's own options, so that a "-threads" of its own still decides.
    if (context.encoderThreads > 0) cmd = appendOption(cmd, "-threads", std::to_string(context.encoderThreads));
    if (!settings.plusparam2.empty()) cmd = appendOption(cmd, settings.plusparam2, "");
    if (!context.fullRun) {
        // An output -ss drops copied video up to its first key frame, which can be all of it.
        const std::string_view limit = videoCopied ? "-t " : "-ss 00:00:00.00 -t ";
        cmd = appendOption(cmd, limit, std::to_string(context.testEncodeSeconds));
    }
    if (!container.opt_of2.empty()) cmd = appendOption(cmd, container.opt_of2, "");
    cmd = appendOption(cmd, "\"{outfile}\"", "");
    return expandPlaceholders(cmd, settings, item, paths.inputPath, paths.outputPath, context.placeholders);
}

}  // namespace torvane
