#include "command/encoder_capabilities.h"

#include "command/command_line_split.h"
#include "command/encoder_choice.h"
#include "platform/child_process.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string> wordsOf(std::string_view line) {
    return splitList(line, " \t\r");
}

// The lines after the dashed line that ends the legend of an ffmpeg listing.
std::vector<std::string_view> entriesAfterLegend(std::string_view listing) {
    std::vector<std::string_view> entries;
    bool inEntries = false;
    for (const std::string_view line : linesOf(listing)) {
        const auto words = wordsOf(line);
        if (!inEntries) {
            inEntries = words.size() == 1 && words[0].find_first_not_of('-') == std::string::npos;
            continue;
        }
        entries.push_back(line);
    }
    return entries;
}

std::string filterName(std::string_view piece) {
    // "[in][wm] overlay=5:5 [out]" names overlay: drop the labels and the arguments.
    std::string text(piece);
    std::string name;
    bool inLabel = false;
    for (const char c : text) {
        if (c == '[') inLabel = true;
        if (!inLabel && c != ' ' && c != '\t') {
            if (c == '=') break;
            name += c;
        } else if (!inLabel && !name.empty()) {
            break;
        }
        if (c == ']') inLabel = false;
    }
    return name;
}

void checkFilterGraph(std::string_view graph, const EncoderCapabilities& capabilities,
                      std::vector<std::string>& problems) {
    for (const std::string& piece : splitList(graph, ",;")) {
        const std::string name = filterName(piece);
        if (name.empty() || name.find('{') != std::string::npos) continue;
        if (!capabilities.ffmpegFilters.contains(name)) problems.push_back("ffmpeg: 필터 " + name + " 없음");
    }
}

}  // namespace

std::set<std::string> parseFfmpegEncoderList(std::string_view listing) {
    std::set<std::string> names;
    for (const std::string_view line : entriesAfterLegend(listing)) {
        const auto words = wordsOf(line);
        if (words.size() >= 2) names.insert(words[1]);
    }
    return names;
}

std::set<std::string> parseFfmpegMuxerList(std::string_view listing) {
    std::set<std::string> names;
    for (const std::string_view line : entriesAfterLegend(listing)) {
        const auto words = wordsOf(line);
        if (words.size() < 2 || words[0].find('E') == std::string::npos) continue;
        for (const std::string& name : splitList(words[1], ",")) names.insert(name);
    }
    return names;
}

std::set<std::string> parseFfmpegFilterList(std::string_view listing) {
    std::set<std::string> names;
    for (const std::string_view line : linesOf(listing)) {
        const auto words = wordsOf(line);
        if (words.size() >= 3 && words[2].find("->") != std::string::npos) names.insert(words[1]);
    }
    return names;
}

std::set<std::string> parseMencoderList(std::string_view listing) {
    std::set<std::string> names;
    for (const std::string_view line : linesOf(listing)) {
        if (line.empty() || (line.front() != ' ' && line.front() != '\t')) continue;
        const auto words = wordsOf(line);
        if (words.size() >= 2 && words[1] == "-") names.insert(words[0]);
    }
    return names;
}

EncoderCapabilities queryEncoderCapabilities(const std::string& ffmpegPath, const std::string& mencoderPath) {
    EncoderCapabilities capabilities;
    const auto ask = [](const std::string& program, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), program);
        return runForOutput(arguments);
    };
    if (!ffmpegPath.empty()) {
        const auto encoders = ask(ffmpegPath, {"-hide_banner", "-encoders"});
        const auto muxers = ask(ffmpegPath, {"-hide_banner", "-muxers"});
        const auto filters = ask(ffmpegPath, {"-hide_banner", "-filters"});
        if (encoders && muxers && filters) {
            capabilities.ffmpegFound = true;
            capabilities.ffmpegEncoders = parseFfmpegEncoderList(*encoders);
            capabilities.ffmpegMuxers = parseFfmpegMuxerList(*muxers);
            capabilities.ffmpegFilters = parseFfmpegFilterList(*filters);
        }
    }
    if (!mencoderPath.empty()) {
        const auto video = ask(mencoderPath, {"-ovc", "help"});
        const auto audio = ask(mencoderPath, {"-oac", "help"});
        const auto formats = ask(mencoderPath, {"-of", "help"});
        if (video && audio && formats) {
            capabilities.mencoderFound = true;
            capabilities.mencoderVideoCodecs = parseMencoderList(*video);
            capabilities.mencoderAudioCodecs = parseMencoderList(*audio);
            capabilities.mencoderFormats = parseMencoderList(*formats);
        }
    }
    return capabilities;
}

std::vector<std::string> ffmpegOptionProblems(std::string_view options, const EncoderCapabilities& capabilities) {
    std::vector<std::string> problems;
    if (options.empty()) return problems;
    if (!capabilities.ffmpegFound) return {"ffmpeg를 찾을 수 없습니다"};
    const auto words = splitCommandLine(options);
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        const std::string& option = words[i];
        const std::string& value = words[i + 1];
        if (option == "-c:v" || option == "-c:a" || option == "-vcodec" || option == "-acodec" ||
            option == "-codec:v" || option == "-codec:a") {
            if (value != "copy" && !capabilities.ffmpegEncoders.contains(value)) {
                problems.push_back("ffmpeg: 인코더 " + value + " 없음");
            }
        } else if (option == "-f") {
            if (!capabilities.ffmpegMuxers.contains(value)) problems.push_back("ffmpeg: 포맷 " + value + " 없음");
        } else if (option == "-vf" || option == "-af" || option == "-filter:v" || option == "-filter:a" ||
                   option == "-filter_complex") {
            checkFilterGraph(value, capabilities, problems);
        }
    }
    return problems;
}

std::vector<std::string> mencoderOptionProblems(std::string_view options, const EncoderCapabilities& capabilities) {
    std::vector<std::string> problems;
    if (options.empty()) return problems;
    if (!capabilities.mencoderFound) return {"mencoder를 찾을 수 없습니다"};
    const auto words = splitCommandLine(options);
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        const std::string& option = words[i];
        const std::string& value = words[i + 1];
        if (option == "-ovc" && !capabilities.mencoderVideoCodecs.contains(value)) {
            problems.push_back("mencoder: -ovc " + value + " 없음");
        } else if (option == "-oac" && !capabilities.mencoderAudioCodecs.contains(value)) {
            problems.push_back("mencoder: -oac " + value + " 없음");
        } else if (option == "-of" && !capabilities.mencoderFormats.contains(value)) {
            problems.push_back("mencoder: -of " + value + " 없음");
        } else if (option == "-lavcopts" || option == "-lavfopts") {
            // libavcodec and libavformat are the same libraries ffmpeg lists.
            for (const std::string& setting : splitList(value, ":")) {
                const auto equals = setting.find('=');
                if (equals == std::string::npos) continue;
                const std::string key = setting.substr(0, equals);
                const std::string name = setting.substr(equals + 1);
                if ((key == "vcodec" || key == "acodec") && capabilities.ffmpegFound &&
                    !capabilities.ffmpegEncoders.contains(name)) {
                    problems.push_back("mencoder: lavc 인코더 " + name + " 없음");
                }
                if (key == "format" && capabilities.ffmpegFound && !capabilities.ffmpegMuxers.contains(name)) {
                    problems.push_back("mencoder: lavf 포맷 " + name + " 없음");
                }
            }
        }
    }
    return problems;
}

std::vector<CatalogueMark> checkCatalogue(const FormatCatalogue& catalogue, const EncoderCapabilities& capabilities) {
    std::vector<CatalogueMark> marks;
    const auto add = [&marks](std::string subject, std::vector<std::string> first, std::vector<std::string> second) {
        first.insert(first.end(), second.begin(), second.end());
        if (!first.empty()) marks.push_back({std::move(subject), std::move(first)});
    };
    for (const auto& [name, container] : catalogue.containers()) {
        add("container_" + name, ffmpegOptionProblems(container.opt_of2, capabilities),
            mencoderOptionProblems(container.opt_of, capabilities));
        for (const auto& [codec, video] : container.vcodecs) {
            add("vcodec_" + codec + " (" + name + ")", ffmpegOptionProblems(video.param2, capabilities),
                mencoderOptionProblems(video.param, capabilities));
        }
        for (const auto& [codec, audio] : container.acodecs) {
            add("acodec_" + codec + " (" + name + ")", ffmpegOptionProblems(audio.param2, capabilities),
                mencoderOptionProblems(audio.param, capabilities));
        }
    }
    return marks;
}

std::vector<std::string> presetProblems(const EncodeSettings& settings, const FormatCatalogue& catalogue,
                                        const EncoderCapabilities& capabilities) {
    std::vector<std::string> problems;
    if (!catalogue.containers().contains(settings.container)) {
        return {"목록에 없는 포맷 " + settings.container};
    }
    const ContainerEntry& container = catalogue.findContainer(settings.container);
    const bool video = isTruthy(settings.video_use);
    const bool audio = isTruthy(settings.audio_use);
    if (video && !container.vcodecs.contains(settings.video_codec)) {
        problems.push_back("포맷 " + settings.container + "에 없는 비디오 코덱 " + settings.video_codec);
    }
    if (audio && !container.acodecs.contains(settings.audio_codec)) {
        problems.push_back("포맷 " + settings.container + "에 없는 오디오 코덱 " + settings.audio_codec);
    }
    const auto collect = [&problems](std::vector<std::string> found) {
        problems.insert(problems.end(), found.begin(), found.end());
    };
    const bool needsMencoder =
        settings.eg == "m" || (settings.eg != "f" && isTruthy(settings.use_speed) && settings.speed != "1" &&
                               settings.speed != "1.0" && mencoderCanWrite(settings, container));
    if (needsMencoder) {
        collect(mencoderOptionProblems(container.opt_of, capabilities));
        if (video) collect(mencoderOptionProblems(container.findVideoCodec(settings.video_codec).param, capabilities));
        if (audio) collect(mencoderOptionProblems(container.findAudioCodec(settings.audio_codec).param, capabilities));
    } else {
        collect(ffmpegOptionProblems(container.opt_of2, capabilities));
        if (video) collect(ffmpegOptionProblems(container.findVideoCodec(settings.video_codec).param2, capabilities));
        if (audio) collect(ffmpegOptionProblems(container.findAudioCodec(settings.audio_codec).param2, capabilities));
        collect(ffmpegOptionProblems(settings.plusparam2, capabilities));
    }
    return problems;
}

}  // namespace torvane
