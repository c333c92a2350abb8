#include "run/subtitle_preparation.h"

#include <unistd.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "command/command_context.h"
#include "media/source_item.h"
#include "media/subtitle_discovery.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "run/swf_source.h"
#include "settings/encode_settings.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

// A subtitle file converts in well under a second; one that takes longer is given up.
constexpr auto kConversionLimit = std::chrono::seconds(20);

double delaySeconds(const EncodeSettings& settings) {
    const double delay = std::strtod(settings.sub_delay.c_str(), nullptr);
    return std::isfinite(delay) ? delay : 0.0;
}

}  // namespace

bool needsSubtitlePreparation(const EncodeSettings& settings, const SourceItem& item) {
    if (!isTruthy(settings.sub_use) || item.subtitlePath.empty()) return false;
    return lowerAscii(fileExtension(item.subtitlePath)) == "smi" || delaySeconds(settings) != 0.0;
}

std::string prepareSubtitleForFfmpeg(const std::string& ffmpegPath, const EncodeSettings& settings,
                                     const SourceItem& item, unsigned number) {
    const std::string folder = swfWorkFolder();
    if (folder.empty()) return {};
    // Named like the Flash work files (second, process), which a later start cleans away when
    // their process has gone; the number keeps two items of one second apart.
    const std::string path =
        joinPath(folder, "tv_" + std::to_string(std::time(nullptr)) + "_" + std::to_string(::getpid()) + ".sub" +
                             std::to_string(number) + ".ass");
    std::vector<std::string> argv = {ffmpegPath, "-nostdin", "-v", "error", "-y"};
    if (const std::string charset = subtitleCharacterSet(item.subtitlePath, settings.sub_subcp); !charset.empty()) {
        argv.insert(argv.end(), {"-sub_charenc", charset});
    }
    if (const double delay = delaySeconds(settings); delay != 0.0) {
        argv.insert(argv.end(), {"-itsoffset", std::to_string(delay)});
    }
    argv.insert(argv.end(), {"-i", item.subtitlePath, "-c:s", "ass", "-f", "ass", path});
    collectOutputWithin(argv, kConversionLimit);
    if (isNonEmptyFile(path)) return path;
    ::unlink(path.c_str());
    return {};
}

}  // namespace torvane
