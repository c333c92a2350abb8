#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

class EncodeSettings;
class FormatCatalogue;
struct ContainerEntry;

// What the installed encoders can do, as they list it themselves.
struct EncoderCapabilities {
    bool ffmpegFound = false;
    std::set<std::string> ffmpegEncoders;
    std::set<std::string> ffmpegMuxers;
    std::set<std::string> ffmpegFilters;
    bool mencoderFound = false;
    std::set<std::string> mencoderVideoCodecs;  // -ovc
    std::set<std::string> mencoderAudioCodecs;  // -oac
    std::set<std::string> mencoderFormats;      // -of
};

// Asks the encoders (ffmpeg -encoders, -muxers, -filters; mencoder -ovc help, -oac help,
// -of help). An empty path or a program that does not answer counts as not found.
EncoderCapabilities queryEncoderCapabilities(const std::string& ffmpegPath, const std::string& mencoderPath);

// The names in ffmpeg's "-encoders", "-muxers" and "-filters" listings.
std::set<std::string> parseFfmpegEncoderList(std::string_view listing);
std::set<std::string> parseFfmpegMuxerList(std::string_view listing);
std::set<std::string> parseFfmpegFilterList(std::string_view listing);
// The names in mencoder's "-ovc help", "-oac help" and "-of help" listings.
std::set<std::string> parseMencoderList(std::string_view listing);

// What an option text asks of the encoder that the installed one lacks, one reason each
// ("ffmpeg: 인코더 libfdk_aac 없음"); empty when it can run.
std::vector<std::string> ffmpegOptionProblems(std::string_view options, const EncoderCapabilities& capabilities);
std::vector<std::string> mencoderOptionProblems(std::string_view options, const EncoderCapabilities& capabilities);

// A container's own options and those of each of its codecs, checked together.
struct CatalogueMark {
    std::string subject;  // "container_mp4", "vcodec_h264 (mp4)" ...
    std::vector<std::string> problems;
};
std::vector<CatalogueMark> checkCatalogue(const FormatCatalogue& catalogue, const EncoderCapabilities& capabilities);

// Why a preset cannot run with the installed encoders: ffmpeg's options for its format and
// codecs, and mencoder's when the preset needs mencoder ("eg" "m", a speed change, burnt-in
// subtitles it would send there). Empty when it can.
std::vector<std::string> presetProblems(const EncodeSettings& settings, const FormatCatalogue& catalogue,
                                        const EncoderCapabilities& capabilities);

}  // namespace torvane
