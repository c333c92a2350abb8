// The proof of every shipped preset: torvane-cli converts a generated clip and three real files
// (a rotated phone clip, a 5.1 file, an audio-only file) in test mode; each output must open in
// ffprobe with the container and codecs the preset promises, decode to the end without an
// error, and keep the preset's own limits (size, frame rate, H.264 profile and level, audio
// rate and channels). Presets whose format and codecs mencoder can write are proven with
// mencoder too.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "command/encoder_choice.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/text_rules.h"
#include "support/media_names.h"
#include "support/test_support.h"

namespace torvane {
namespace {

std::vector<std::string> presetFiles() {
    std::vector<std::string> files = {test::sourceDir() + "/data/common_avi.ini"};
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(test::sourceDir() + "/data/preset")) {
        if (!entry.is_directory()) found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return files;
}

struct Source {
    std::string name;
    std::string path;
    bool hasVideo;
    bool hasAudio;
};

// The generated clip, then the corpus's files (without the corpus, the generated clip alone).
std::vector<Source> sources() {
    std::vector<Source> all = {{"generated 3 s 720p clip", test::testMedia("proof3.mp4"), true, true}};
    if (!test::corpusAvailable()) return all;
    const std::string corpus = test::corpusDir() + "/media/";
    all.push_back({"rotated phone clip", corpus + "video/rot/androidx_rotate_and_reflect.mp4", true, true});
    all.push_back({"5.1 Opus file", corpus + "audio/androidx_opus51.ogg", false, true});
    all.push_back({"stereo FLAC", corpus + "audio/androidx_bear.flac", false, true});
    return all;
}

// What ffprobe tells of a file: "stream.N.key=value" and "format.key=value" entries.
std::map<std::string, std::string> probe(const std::string& path) {
    const test::ProgramResult result =
        test::runProgram({"ffprobe", "-v", "error", "-show_entries",
                          "format=format_name:stream=codec_type,codec_name,width,height,avg_frame_rate,profile,level,"
                          "sample_rate,channels",
                          "-of", "flat", path});
    std::map<std::string, std::string> values;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        values[line.substr(0, equals)] = value;
    }
    return values;
}

// The stream of a type as "streams.stream.N." prefix, or empty.
std::string streamPrefix(const std::map<std::string, std::string>& values, const std::string& type) {
    for (int i = 0; i < 8; ++i) {
        const std::string prefix = "streams.stream." + std::to_string(i) + ".";
        const auto it = values.find(prefix + "codec_type");
        if (it != values.end() && it->second == type) return prefix;
    }
    return {};
}

double rate(const std::string& fraction) {
    const auto slash = fraction.find('/');
    if (slash == std::string::npos) return std::atof(fraction.c_str());
    const double denominator = std::atof(fraction.c_str() + slash + 1);
    return denominator == 0 ? 0 : std::atof(fraction.c_str()) / denominator;
}

// The value an option text gives an option ("-profile:v high" gives "high"); empty if none.
std::string optionValue(const std::string& options, const std::string& option) {
    std::istringstream words(options);
    for (std::string word; words >> word;) {
        if (word == option && words >> word) return word;
    }
    return {};
}

class PresetProof : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        ASSERT_TRUE(catalogue_.loadCatalogue(test::sourceDir() + "/data/torvane.ini"));
        ASSERT_TRUE(settings_.loadProfile(GetParam()));
    }

    void prove(const Source& source, bool withMencoder) {
        SCOPED_TRACE(source.name + (withMencoder ? " with mencoder" : " with ffmpeg"));
        const std::string out = folder_ / (std::string(withMencoder ? "mencoder/" : "ffmpeg/") + source.name);
        std::vector<std::string> argv = {test::buildDir() + "/torvane-cli",
                                         "convert",
                                         "--config-dir",
                                         folder_ / "config",
                                         "--preset",
                                         GetParam(),
                                         "--out",
                                         out};
        // mencoder's MPEG-PS muxer writes only its header when -endpos stops it: full runs there.
        // mencoder also stalls when its -endpos equals the length of what it writes (a 3-second
        // clip at 1.5x speed), so its test encodes take one second.
        if (!(withMencoder && settings_.container == "mpg")) {
            argv.insert(argv.end(), {"--test", withMencoder ? "1" : "2"});
        }
        if (withMencoder) argv.insert(argv.end(), {"--set", "eg=m"});
        argv.push_back(source.path);
        const bool expectVideo = isTruthy(settings_.video_use) && source.hasVideo;
        const bool expectAudio = isTruthy(settings_.audio_use) && source.hasAudio;
        const test::ProgramResult run = test::runProgram(argv);
        if (!expectVideo && !expectAudio) {
            // Nothing of the source fits the preset (sound removal from a sound file): a failure.
            EXPECT_EQ(run.exitCode, 1) << run.out;
            EXPECT_NE(run.out.find("\t실패"), std::string::npos) << run.out;
            return;
        }
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        std::vector<std::string> outputs;
        for (const auto& entry : std::filesystem::directory_iterator(out)) outputs.push_back(entry.path().string());
        ASSERT_EQ(outputs.size(), 1u);
        const std::string& output = outputs[0];

        const test::ProgramResult decode =
            test::runProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", output, "-f", "null", "-"});
        EXPECT_EQ(decode.exitCode, 0);
        EXPECT_EQ(decode.err, "") << "decoding " << output;

        const auto values = probe(output);
        const ContainerEntry& container = catalogue_.findContainer(settings_.container);
        EXPECT_EQ(values.at("format.format_name"), test::ffprobeFormatName(settings_.container));
        const std::string video = streamPrefix(values, "video");
        const std::string audio = streamPrefix(values, "audio");
        EXPECT_EQ(!video.empty(), expectVideo);
        EXPECT_EQ(!audio.empty(), expectAudio);
        if (!video.empty() && settings_.video_codec != "copy") {
            EXPECT_EQ(values.at(video + "codec_name"), test::ffprobeCodecName(settings_.video_codec));
            if (isTruthy(settings_.video_use_size) && leadingInteger(settings_.video_width) > 0 &&
                leadingInteger(settings_.video_height) > 0) {
                EXPECT_EQ(values.at(video + "width"), settings_.video_width);
                EXPECT_EQ(values.at(video + "height"), settings_.video_height);
            }
            if (isTruthy(settings_.video_use_fps) && std::atof(settings_.video_fps.c_str()) > 0 && !withMencoder) {
                EXPECT_NEAR(rate(values.at(video + "avg_frame_rate")), std::atof(settings_.video_fps.c_str()), 0.6);
            }
            const std::string& param2 = container.findVideoCodec(settings_.video_codec).param2;
            if (const std::string profile = optionValue(param2, "-profile:v"); !profile.empty() && !withMencoder) {
                std::string shown = values.at(video + "profile");
                for (char& c : shown) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                EXPECT_NE(shown.find(profile), std::string::npos) << shown;
            }
            if (const std::string level = optionValue(param2, "-level"); !level.empty() && !withMencoder) {
                EXPECT_LE(std::atoi(values.at(video + "level").c_str()),
                          static_cast<int>(std::atof(level.c_str()) * 10 + 0.5));
            }
        }
        if (!audio.empty() && settings_.audio_codec != "copy") {
            EXPECT_EQ(values.at(audio + "codec_name"), test::ffprobeCodecName(settings_.audio_codec));
            if (isTruthy(settings_.audio_use_srate) && !withMencoder) {
                EXPECT_EQ(values.at(audio + "sample_rate"), settings_.audio_srate);
            }
            // The format's own "-ac" comes last on the command line and wins.
            const std::string forced = optionValue(container.opt_of2, "-ac");
            if (!withMencoder) {
                EXPECT_EQ(values.at(audio + "channels"), forced.empty() ? settings_.audio_channels : forced);
            }
        }
    }

    test::TempFolder folder_;
    FormatCatalogue catalogue_;
    EncodeSettings settings_;
};

TEST_P(PresetProof, ConvertsRealFilesAsItPromises) {
    for (const Source& source : sources()) prove(source, false);
    // mencoder copies no AAC or Opus sound, and the generated clip carries AAC.
    if (mencoderCanWrite(settings_, catalogue_.findContainer(settings_.container)) &&
        !(isTruthy(settings_.audio_use) && settings_.audio_codec == "copy")) {
        prove(sources().front(), true);
    }
    // What the generated clip proved stands; the real files' part was not run.
    TORVANE_NEEDS_CORPUS();
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = std::to_string(info.index) + "_" + std::filesystem::path(info.param).stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Shipped, PresetProof, ::testing::ValuesIn(presetFiles()), testName);

}  // namespace
}  // namespace torvane
