#include "command/encoder_choice.h"

#include "command/command_context.h"
#include "command/ffmpeg_command.h"
#include "command/mencoder_command.h"
#include "command/placeholders.h"
#include "command/subtitle_use.h"
#include "media/source_item.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/text_rules.h"

namespace torvane {

bool mencoderCanWrite(const EncodeSettings& settings, const ContainerEntry& container) {
    if (container.opt_of.empty()) return false;
    if (isTruthy(settings.video_use) && container.findVideoCodec(settings.video_codec).param.empty()) return false;
    if (isTruthy(settings.audio_use) && container.findAudioCodec(settings.audio_codec).param.empty()) return false;
    return true;
}

Encoder chooseEncoder(const EncodeSettings& settings, const SourceItem& item, const ContainerEntry& container) {
    if (settings.eg == "f") return Encoder::Ffmpeg;
    if (settings.eg == "m") return Encoder::Mencoder;
    const std::string extension = lowerAscii(fileExtension(item.sourcePath));
    if (extension == "skm" || extension == "k3g") return Encoder::Mencoder;
    if (extension == "swf") return Encoder::Ffmpeg;
    if (isAudioOnlyContainer(settings.container)) return Encoder::Ffmpeg;
    const std::string& codec = item.media.videoCodec;
    if (codec == "MSS1" || codec == "MSS2" || codec == "MSS3") return Encoder::Mencoder;
    // mencoder writes no subtitle tracks.
    if (wantsSubtitleTrack(settings, item)) return Encoder::Ffmpeg;
    const bool speedChange = isTruthy(settings.use_speed) && settings.speed != "1" && settings.speed != "1.0";
    const bool burnSubtitles = isTruthy(settings.sub_use) && !item.subtitlePath.empty();
    // mencoder refuses a source without a picture ("Video stream is mandatory!").
    if ((speedChange || burnSubtitles) && item.media.videoStreamCount > 0 && mencoderCanWrite(settings, container)) {
        return Encoder::Mencoder;
    }
    return Encoder::Ffmpeg;
}

std::string buildCommandLine(const EncodeSettings& settings, SourceItem& item, std::size_t row,
                             const CommandContext& context) {
    const ContainerEntry& container = context.catalogue->findContainer(settings.container);
    if (chooseEncoder(settings, item, container) == Encoder::Mencoder) {
        return buildMencoderCommand(settings, item, row, context);
    }
    return buildFfmpegCommand(settings, item, row, context);
}

}  // namespace torvane
