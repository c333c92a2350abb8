#include "command/placeholders.h"

#include <sched.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>

#include "command/command_text.h"
#include "media/source_item.h"
#include "platform/file_system.h"
#include "settings/encode_settings.h"

namespace torvane {
namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

unsigned usableProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&set));
    }
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1u;
}

std::string userFontsFolder() {
    std::string dataHome = environmentValue("XDG_DATA_HOME");
    if (!dataHome.starts_with('/')) dataHome = joinPath(homeFolder(), ".local/share");
    const std::string userFonts = joinPath(dataHome, "fonts");
    return isDirectory(userFonts) ? userFonts : "/usr/share/fonts";
}

// The text as it must stand between double quotes for splitCommandLine.
std::string escapedForQuotes(std::string_view text) {
    const std::string inQuotes = quoted(text);
    return inQuotes.substr(1, inQuotes.size() - 2);
}

}  // namespace

PlaceholderValues startupPlaceholderValues(const std::string& programFolder) {
    PlaceholderValues values;
    values.programFolder = programFolder;
    std::string temp = environmentValue("TMPDIR");
    if (!temp.starts_with('/')) temp = "/tmp";
    if (!temp.ends_with('/')) temp += '/';
    values.tempFolder = temp;
    values.fontsFolder = userFontsFolder();
    values.subtitleFontFolder = joinPath(programFolder, "mplayer");
    values.cpuCount = usableProcessorCount();
    return values;
}

std::string fileExtension(std::string_view path) {
    const std::string_view name = fileNamePart(path);
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

std::string expandPlaceholders(std::string_view commandTemplate, const EncodeSettings& settings, const SourceItem& item,
                               std::string_view inputPath, std::string_view outputPath,
                               const PlaceholderValues& values) {
    const std::string extension = fileExtension(inputPath);
    const auto expandRest = [&](std::string text) {
        const auto step = [&text](std::string_view placeholder, std::string_view value) {
            text = replaceAll(text, placeholder, value);
        };
        step("{cpucount}", std::to_string(values.cpuCount));
        step("{infile_ext}", extension);
        step("{sysfontdir}", values.fontsFolder);
        step("{subfontdir}", values.subtitleFontFolder);
        step("{tempDir}", values.tempFolder);
        step("{curdir}", values.programFolder);
        step("{width}", item.media.videoWidth);
        step("{height}", item.media.videoHeight);
        step("{vbitrate}", settings.video_bitrate);
        step("{abitrate}", settings.audio_bitrate);
        step("{vbr}", settings.audio_vbr);
        step("{volume}", settings.volume);
        step("{srate}", settings.audio_srate);
        step("{channels}", settings.audio_channels);
        step("{sws}", settings.sws);
        step("{speed}", settings.speed);
        return text;
    };
    // Expand the text between the path placeholders, then put the paths in.
    const std::string escapedInput = escapedForQuotes(inputPath);
    const std::string escapedOutput = escapedForQuotes(outputPath);
    std::string result;
    std::string_view rest = commandTemplate;
    while (true) {
        const auto input = rest.find("{infile}");
        const auto output = rest.find("{outfile}");
        const auto next = std::min(input, output);
        if (next == std::string_view::npos) break;
        result += expandRest(std::string(rest.substr(0, next)));
        const bool isInput = next == input;
        result += isInput ? escapedInput : escapedOutput;
        rest.remove_prefix(next + (isInput ? 8 : 9));
    }
    result += expandRest(std::string(rest));
    return result;
}

}  // namespace torvane
