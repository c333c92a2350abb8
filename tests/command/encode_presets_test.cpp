// Every shipped preset, built into a command line for a generated clip in test mode and run
// with the real encoders: the output must be the container and codecs the preset promises.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "command/command_context.h"
#include "command/command_line_split.h"
#include "command/encoder_choice.h"
#include "command/ffmpeg_command.h"
#include "command/mencoder_command.h"
#include "media/media_query.h"
#include "platform/user_folders.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/text_rules.h"
#include "support/media_names.h"
#include "support/real_command_context.h"
#include "support/test_support.h"

namespace torvane {
namespace {

struct Probe {
    std::string format;
    std::string video;
    std::string audio;
};

Probe probeOutput(const std::string& path) {
    const test::ProgramResult result =
        test::runProgram({"ffprobe", "-v", "error", "-show_entries", "format=format_name:stream=codec_type,codec_name",
                          "-of", "default=nw=1", path});
    Probe probe;
    std::istringstream lines(result.out);
    std::string codec;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("codec_name=")) codec = line.substr(11);
        if (line == "codec_type=video" && probe.video.empty()) probe.video = codec;
        if (line == "codec_type=audio" && probe.audio.empty()) probe.audio = codec;
        if (line.starts_with("format_name=")) probe.format = line.substr(12);
    }
    return probe;
}

// The bottom 40 rows of the 320x240 frame at one second, as 8-bit gray pixels.
std::string bottomStrip(const std::string& path) {
    return test::runProgram({"ffmpeg", "-v", "error", "-ss", "1", "-i", path, "-frames:v", "1", "-vf",
                             "scale=320:240,crop=320:40:0:200", "-f", "rawvideo", "-pix_fmt", "gray", "-"})
        .out;
}

std::size_t differingPixels(const std::string& a, const std::string& b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (std::abs(static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i])) > 100) ++count;
    }
    return count;
}

class EncodePresetsTest : public ::testing::Test {
protected:
    EncodePresetsTest() {
        EXPECT_TRUE(catalogue_.loadCatalogue(test::sourceDir() + "/data/torvane.ini"));
        context_ = test::realCommandContext(catalogue_, options_, folder_);
        context_.fullRun = false;
    }

    // Builds the command with the chosen encoder, runs it and checks what it wrote.
    void encodeAndCheck(const std::string& presetPath, Encoder encoder) {
        EncodeSettings settings;
        ASSERT_TRUE(settings.loadProfile(presetPath));
        SourceItem item;
        // mencoder loses MPEG-PS output of two seconds or less, and stalls when -endpos equals
        // the clip's length: it gets the longer clip.
        const bool mencoder = encoder == Encoder::Mencoder;
        ASSERT_TRUE(querySourceItem(test::testMedia(mencoder ? "av4.mp4" : "av.mp4"), item));
        context_.testEncodeSeconds = mencoder ? 3 : 2;
        // mencoder's MPEG-PS muxer writes only its header when -endpos stops it: a full run then.
        context_.fullRun = mencoder && settings.container == "mpg";
        const std::string cmd = mencoder ? buildMencoderCommand(settings, item, 0, context_)
                                         : buildFfmpegCommand(settings, item, 0, context_);
        SCOPED_TRACE(cmd);
        const test::ProgramResult run = test::runProgram(splitCommandLine(cmd));
        ASSERT_EQ(run.exitCode, 0) << run.err.substr(run.err.size() > 2000 ? run.err.size() - 2000 : 0);
        ASSERT_TRUE(std::filesystem::exists(item.outputPath));
        EXPECT_GT(std::filesystem::file_size(item.outputPath), 0u);

        const Probe probe = probeOutput(item.outputPath);
        EXPECT_EQ(probe.format, test::ffprobeFormatName(settings.container));
        const auto expected = [](const std::string& codec, const std::string& source) {
            return codec == "copy" ? source : test::ffprobeCodecName(codec);
        };
        EXPECT_EQ(probe.video, isTruthy(settings.video_use) ? expected(settings.video_codec, "h264") : "");
        EXPECT_EQ(probe.audio, isTruthy(settings.audio_use) ? expected(settings.audio_codec, "aac") : "");
        std::filesystem::remove(item.outputPath);
    }

    std::vector<std::string> presets() const {
        std::vector<std::string> files = {test::sourceDir() + "/data/common_avi.ini"};
        for (const auto& entry : std::filesystem::recursive_directory_iterator(test::sourceDir() + "/data/preset")) {
            if (!entry.is_directory()) files.push_back(entry.path().string());
        }
        std::sort(files.begin() + 1, files.end());
        return files;
    }

    test::TempFolder folder_;
    FormatCatalogue catalogue_;
    OptionStore options_{folder_ / "config"};
    CommandContext context_;
};

TEST_F(EncodePresetsTest, EveryPresetConvertsWithFfmpeg) {
    ASSERT_FALSE(context_.ffmpegPath.empty());
    for (const std::string& preset : presets()) {
        SCOPED_TRACE(preset);
        encodeAndCheck(preset, Encoder::Ffmpeg);
    }
}

TEST_F(EncodePresetsTest, PresetsMencoderCanWriteConvertWithMencoder) {
    ASSERT_FALSE(context_.mencoderPath.empty());
    int converted = 0;
    for (const std::string& preset : presets()) {
        EncodeSettings settings;
        ASSERT_TRUE(settings.loadProfile(preset));
        if (!mencoderCanWrite(settings, catalogue_.findContainer(settings.container))) continue;
        // mencoder copies no AAC sound into other containers, and the clip's sound is AAC.
        if (isTruthy(settings.audio_use) && settings.audio_codec == "copy") continue;
        SCOPED_TRACE(preset);
        encodeAndCheck(preset, Encoder::Mencoder);
        ++converted;
    }
    EXPECT_GE(converted, 5);
}

TEST_F(EncodePresetsTest, LogoSubtitlesAndHostileNamesRunForReal) {
    // A logo in a folder whose name needs filter escaping, overlaid by ffmpeg.
    const std::string logo = folder_ / "logo, [it's].png";
    ASSERT_EQ(test::runProgram(
                  {"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=red:size=32x16", "-frames:v", "1", "-y", logo})
                  .exitCode,
              0);
    options_.setOption("logouse", "y");
    options_.setOption("logopath", logo);
    context_.cacheFolder = folder_ / "cache, [odd]";
    encodeAndCheck(test::sourceDir() + "/data/preset/+ 일반 파일변환/mp4_h264.ini", Encoder::Ffmpeg);
    options_.setOption("logouse", "n");

    // Subtitles burnt in by mencoder, chosen automatically for a source with a subtitle beside it.
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(test::sourceDir() + "/data/common_avi.ini"));
    SourceItem item;
    const std::string source = folder_ / "자막 \"있는\" 영상.mp4";
    std::filesystem::copy_file(test::testMedia("av4.mp4"), source);
    std::filesystem::copy_file(test::testMedia("with_subtitle.smi"), folder_ / "자막 \"있는\" 영상.smi");
    ASSERT_TRUE(querySourceItem(source, item));
    ASSERT_FALSE(item.subtitlePath.empty());
    EXPECT_EQ(chooseEncoder(settings, item, catalogue_.findContainer(settings.container)), Encoder::Mencoder);
    context_.testEncodeSeconds = 3;
    const std::string cmd = buildCommandLine(settings, item, 0, context_);
    SCOPED_TRACE(cmd);
    EXPECT_NE(cmd.find(" -sub "), std::string::npos);
    const test::ProgramResult run = test::runProgram(splitCommandLine(cmd));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(item.outputPath, folder_ / "out/자막 \"있는\" 영상.avi");
    EXPECT_EQ(probeOutput(item.outputPath).video, "mpeg4");
    // The bottom strip of a frame at one second differs from the source's by the burnt-in text.
    EXPECT_GT(differingPixels(bottomStrip(source), bottomStrip(item.outputPath)), 200u);
}

// A format mencoder cannot write (MP4 with AAC) burns an SRT subtitle with ffmpeg's subtitles
// filter, and the same text written as CP949 and as UTF-8 gives the same picture, the preset's
// cp949 notwithstanding. The path holds quotes, a comma, a colon and brackets.
TEST_F(EncodePresetsTest, FfmpegBurnsTheSubtitleWhateverItsEncoding) {
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(test::sourceDir() + "/data/preset/+ 일반 파일변환/mp4_h264.ini"));
    settings.plusparam2 = "-preset ultrafast";
    ASSERT_EQ(settings.sub_subcp, "cp949");
    const std::string utf8 = "1\n00:00:00,000 --> 00:00:03,000\n안녕하세요 자막\n";
    const test::ProgramResult cp949 = test::runProgram(
        {"sh", "-c", "printf '1\\n00:00:00,000 --> 00:00:03,000\\n안녕하세요 자막\\n' | iconv -f UTF-8 -t CP949"});
    ASSERT_EQ(cp949.exitCode, 0);
    ASSERT_NE(cp949.out, utf8);
    std::vector<std::string> strips;
    for (const std::string& subtitle : {cp949.out, utf8}) {
        const std::string folder = folder_ / ("자막 '[a,b]:c' " + std::to_string(strips.size()));
        const std::string source = folder + "/영상.mp4";
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(test::testMedia("av4.mp4"), source);
        test::writeFile(folder + "/영상.srt", subtitle);
        SourceItem item;
        ASSERT_TRUE(querySourceItem(source, item));
        ASSERT_EQ(item.subtitlePath, folder + "/영상.srt");
        EXPECT_EQ(chooseEncoder(settings, item, catalogue_.findContainer(settings.container)), Encoder::Ffmpeg);
        context_.testEncodeSeconds = 2;
        context_.output.folder = folder + "/out";
        std::filesystem::create_directories(context_.output.folder);
        const std::string cmd = buildCommandLine(settings, item, 0, context_);
        SCOPED_TRACE(cmd);
        const test::ProgramResult run = test::runProgram(splitCommandLine(cmd));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_GT(differingPixels(bottomStrip(source), bottomStrip(item.outputPath)), 200u);
        strips.push_back(bottomStrip(item.outputPath));
    }
    EXPECT_LT(differingPixels(strips[0], strips[1]), 20u);

    // Matroska and WebM draw the same text.
    for (const char* preset : {"mkv_h264.ini", "webm_vp8.ini"}) {
        ASSERT_TRUE(settings.loadProfile(test::sourceDir() + "/data/preset/+ 일반 파일변환/" + preset));
        SourceItem item;
        const std::string folder = folder_ / ("자막 '[a,b]:c' " + std::to_string(strips.size() - 1));
        ASSERT_TRUE(querySourceItem(folder + "/영상.mp4", item));
        EXPECT_EQ(chooseEncoder(settings, item, catalogue_.findContainer(settings.container)), Encoder::Ffmpeg);
        const std::string cmd = buildCommandLine(settings, item, 0, context_);
        SCOPED_TRACE(cmd);
        const test::ProgramResult run = test::runProgram(splitCommandLine(cmd));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_GT(differingPixels(bottomStrip(item.sourcePath), bottomStrip(item.outputPath)), 200u);
    }
}

// The text's box in the 640x360 frame at one second: its first and last rows and columns of
// bright pixels; all -1 when there is none.
struct TextBox {
    int top = -1, bottom = -1, left = -1, right = -1;
};

TextBox brightBox(const std::string& path) {
    const std::string gray = test::runProgram({"ffmpeg", "-v", "error", "-ss", "1", "-i", path, "-frames:v", "1", "-vf",
                                               "scale=640:360", "-f", "rawvideo", "-pix_fmt", "gray", "-"})
                                 .out;
    TextBox box;
    for (int y = 0; y < 360 && gray.size() >= 640u * 360u; ++y) {
        for (int x = 0; x < 640; ++x) {
            if (static_cast<unsigned char>(gray[static_cast<std::size_t>(y * 640 + x)]) <= 128) continue;
            if (box.top < 0) box.top = y;
            box.bottom = y;
            box.left = box.left < 0 ? x : std::min(box.left, x);
            box.right = std::max(box.right, x);
        }
    }
    return box;
}

// The same subtitle at the same settings looks alike from mencoder (AVI) and ffmpeg (MP4): text
// of the same size, within a fifth, ending at the same height, which "sub_pos" moves in both.
TEST_F(EncodePresetsTest, BothEncodersDrawTheSameSubtitleAlike) {
    const std::string source = folder_ / "black.mp4";
    ASSERT_EQ(test::runProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=c=black:s=640x360:r=25:d=3", "-f",
                                "lavfi", "-i", "sine=d=3", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac",
                                "-shortest", source})
                  .exitCode,
              0);
    test::writeFile(folder_ / "black.srt", "1\n00:00:00,000 --> 00:00:03,000\n가나다라 ABCDgy\n\n");
    context_.testEncodeSeconds = 2;
    for (const char* position : {"95", "70"}) {
        std::vector<TextBox> boxes;
        for (const char* preset :
             {"/data/preset/특별기능/subtitle_burn.ini", "/data/preset/+ 일반 파일변환/mp4_h264.ini"}) {
            EncodeSettings settings;
            ASSERT_TRUE(settings.loadProfile(test::sourceDir() + preset));
            settings.sub_pos = position;
            SourceItem item;
            ASSERT_TRUE(querySourceItem(source, item));
            const std::string cmd = buildCommandLine(settings, item, 0, context_);
            SCOPED_TRACE(cmd);
            const test::ProgramResult run = test::runProgram(splitCommandLine(cmd));
            ASSERT_EQ(run.exitCode, 0) << run.err;
            boxes.push_back(brightBox(item.outputPath));
            ASSERT_GE(boxes.back().top, 0);
        }
        const TextBox& mencoder = boxes[0];
        const TextBox& ffmpeg = boxes[1];
        SCOPED_TRACE(position);
        const double widths = static_cast<double>(ffmpeg.right - ffmpeg.left) / (mencoder.right - mencoder.left);
        const double heights = static_cast<double>(ffmpeg.bottom - ffmpeg.top) / (mencoder.bottom - mencoder.top);
        EXPECT_NEAR(widths, 1.0, 0.2);
        EXPECT_NEAR(heights, 1.0, 0.2);
        EXPECT_NEAR(ffmpeg.bottom, mencoder.bottom, 6);
        EXPECT_NEAR(ffmpeg.bottom, std::atoi(position) * 360 / 100, 12);
    }
}

}  // namespace
}  // namespace torvane
