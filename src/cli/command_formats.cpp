#include <iostream>
#include <vector>

#include "cli/cli_command.h"
#include "command/encoder_capabilities.h"
#include "platform/user_folders.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/preset_folder.h"
#include "settings/program_files.h"

namespace torvane::cli {
namespace {

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
    return text;
}

void printField(std::string_view name, std::string_view value) {
    std::cout << name << "=" << value << "\n";
}

void printContainer(const std::string& name, const ContainerEntry& entry) {
    std::cout << "[container_" << name << "]\n";
    printField("kind", entry.kind);
    printField("title", entry.title);
    printField("file_ext", entry.file_ext);
    printField("opt_of", entry.opt_of);
    printField("opt_of2", entry.opt_of2);
    printField("use_video", entry.use_video);
    printField("able_vcodec", entry.able_vcodec);
    printField("default_vcodec", entry.default_vcodec);
    printField("use_audio", entry.use_audio);
    printField("able_acodec", entry.able_acodec);
    printField("default_acodec", entry.default_acodec);
    for (const std::string& codec : entry.vcodecList) {
        const VideoCodecEntry& video = entry.findVideoCodec(codec);
        std::cout << "\n[vcodec_" << codec << "]\n";
        printField("kind", video.kind);
        printField("title", video.title);
        printField("id", video.id);
        printField("param", video.param);
        printField("param2", video.param2);
        printField("able_bitrate", video.able_bitrate);
        printField("default_bitrate", video.default_bitrate);
        printField("able_size", video.able_size);
        printField("default_size", video.default_size);
        printField("able_framerate", video.able_framerate);
        printField("default_framerate", video.default_framerate);
    }
    for (const std::string& codec : entry.acodecList) {
        const AudioCodecEntry& audio = entry.findAudioCodec(codec);
        std::cout << "\n[acodec_" << codec << "]\n";
        printField("kind", audio.kind);
        printField("title", audio.title);
        printField("id", audio.id);
        printField("param", audio.param);
        printField("param2", audio.param2);
        printField("able_bitrate", audio.able_bitrate);
        printField("default_bitrate", audio.default_bitrate);
        printField("able_srate", audio.able_srate);
        printField("default_srate", audio.default_srate);
    }
}

}  // namespace

// Every container, codec and preset whose options the installed encoders cannot run, with why.
int checkFormats(const CliContext& context, const FormatCatalogue& catalogue) {
    const std::string ffmpeg = findProgram(context.programFolder, "ffmpeg");
    const std::string mencoder = findProgram(context.programFolder, "mencoder");
    const EncoderCapabilities capabilities = queryEncoderCapabilities(ffmpeg, mencoder);
    std::cout << "ffmpeg: " << (capabilities.ffmpegFound ? ffmpeg : "없음") << " (인코더 "
              << capabilities.ffmpegEncoders.size() << ", 포맷 " << capabilities.ffmpegMuxers.size() << ", 필터 "
              << capabilities.ffmpegFilters.size() << ")\n";
    std::cout << "mencoder: " << (capabilities.mencoderFound ? mencoder : "없음") << "\n";
    std::size_t marked = 0;
    const auto print = [&marked](const std::string& subject, const std::vector<std::string>& problems) {
        std::cout << subject << ":";
        for (const std::string& problem : problems) std::cout << " " << problem << ";";
        std::cout << "\n";
        ++marked;
    };
    for (const CatalogueMark& mark : checkCatalogue(catalogue, capabilities)) print(mark.subject, mark.problems);
    std::vector<std::string> folders = {presetFolderOf(context.programFolder)};
    std::size_t presets = 0;
    while (!folders.empty()) {
        const PresetFolderLevel level = readPresetFolder(folders.back());
        folders.pop_back();
        for (const PresetGroup& group : level.groups) folders.push_back(group.path);
        for (const Preset& preset : level.presets) {
            EncodeSettings settings;
            settings.loadProfile(preset.path);
            ++presets;
            if (const auto problems = presetProblems(settings, catalogue, capabilities); !problems.empty()) {
                print(preset.path, problems);
            }
        }
    }
    std::cout << "확인한 포맷 " << catalogue.containers().size() << "개, 프리셋 " << presets << "개; 표시된 항목 "
              << marked << "개\n";
    return marked == 0 ? kExitOk : kExitFailed;
}

int runFormats(const CliContext& context, std::span<const std::string> arguments) {
    std::string containerName;
    bool oneContainer = false;
    bool check = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--check") {
            check = true;
        } else if (arguments[i] == "--container" && i + 1 < arguments.size()) {
            containerName = arguments[++i];
            oneContainer = true;
        } else if (arguments[i].starts_with("--container=")) {
            containerName = arguments[i].substr(12);
            oneContainer = true;
        } else if (arguments[i] == "--container") {
            return usageError("formats", "--container needs a name");
        } else {
            return usageError("formats", "unexpected argument " + arguments[i]);
        }
    }

    FormatCatalogue catalogue;
    const std::string path = catalogueFileOf(context.programFolder);
    if (!catalogue.loadCatalogue(path)) return failure("formats", "no catalogue at " + path);

    if (check) return checkFormats(context, catalogue);
    if (oneContainer) {
        if (!catalogue.containers().contains(containerName)) {
            return failure("formats", "the catalogue has no container " + containerName);
        }
        printContainer(containerName, catalogue.findContainer(containerName));
        return kExitOk;
    }
    // One line a container: name, title, extension, video codecs, audio codecs.
    for (const std::string& name : catalogue.containerNames()) {
        const ContainerEntry& entry = catalogue.findContainer(name);
        std::cout << name << "\t" << entry.title << "\t" << entry.file_ext << "\tvideo=" << joined(entry.vcodecList)
                  << "\taudio=" << joined(entry.acodecList) << "\n";
    }
    return kExitOk;
}

}  // namespace torvane::cli
