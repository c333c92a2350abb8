#include "command/command_context.h"

#include <unistd.h>
#include <array>
#include <cmath>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "settings/encode_settings.h"
#include "settings/text_rules.h"

namespace torvane {

CommandContext programCommandContext(const std::string& programFolder, const FormatCatalogue& catalogue,
                                     const OptionStore& options) {
    CommandContext context;
    context.catalogue = &catalogue;
    context.options = &options;
    context.placeholders = startupPlaceholderValues(programFolder);
    context.ffmpegPath = findProgram(programFolder, "ffmpeg");
    if (context.ffmpegPath.empty()) context.ffmpegPath = "ffmpeg";
    context.mencoderPath = findProgram(programFolder, "mencoder");
    if (context.mencoderPath.empty()) context.mencoderPath = "mencoder";
    context.cacheFolder = defaultCacheFolder();
    context.logFolder = joinPath(defaultStateFolder(), "logs");
    context.output.folder = defaultOutputFolder();
    return context;
}

bool isAudioOnlyContainer(std::string_view container) {
    static constexpr std::array<std::string_view, 12> kAudioOnly = {"aac", "ac3", "aiff", "caf", "flac", "m4a",
                                                                    "m4r", "mmf", "mp3",  "ogg", "opus", "wav"};
    const std::string lower = lowerAscii(container);
    for (const std::string_view name : kAudioOnly) {
        if (lower == name) return true;
    }
    return false;
}

std::string encoderFrameRate(std::string_view rate) {
    struct NtscRate {
        std::string_view decimal;
        std::string_view exact;
    };
    static constexpr std::array<NtscRate, 10> kRates = {{
        {"23.976", "24000/1001"},
        {"23.98", "24000/1001"},
        {"29.970", "30000/1001"},
        {"29.97", "30000/1001"},
        {"47.952", "48000/1001"},
        {"59.940", "60000/1001"},
        {"59.94", "60000/1001"},
        {"119.880", "120000/1001"},
        {"14.985", "15000/1001"},
        {"11.988", "12000/1001"},
    }};
    for (const NtscRate& ntsc : kRates) {
        if (rate == ntsc.decimal) return std::string(ntsc.exact);
    }
    return std::string(rate);
}

double chosenSpeed(const EncodeSettings& settings) {
    if (!isTruthy(settings.use_speed)) return 1.0;
    const double speed = std::strtod(settings.speed.c_str(), nullptr);
    return std::isfinite(speed) && speed > 0 ? speed : 1.0;
}

std::string framePipeId(unsigned launchCounter, std::size_t row) {
    return std::to_string(launchCounter) + std::to_string(row) + "_" + std::to_string(::getpid());
}

std::string framePipePath(std::string_view pipeId) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder =
        runtime != nullptr && runtime[0] == '/' ? std::string(runtime) : "/tmp/torvane-" + std::to_string(::getuid());
    return joinPath(folder, "Torvane" + std::string(pipeId));
}

}  // namespace torvane
