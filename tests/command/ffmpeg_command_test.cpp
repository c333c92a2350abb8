#include "command/ffmpeg_command.h"

#include <filesystem>

#include "command/aspect_sizing.h"
#include "command/builder_fixture.h"
#include "command/command_line_split.h"
#include "command/output_naming.h"
#include "platform/file_system.h"
#include "settings/settings_check.h"

namespace torvane {
namespace {

using test::BuilderTest;

std::string build(const EncodeSettings& settings, SourceItem& item, const CommandContext& context) {
    return buildFfmpegCommand(settings, item, 0, context);
}

TEST_F(BuilderTest, FfmpegPlainConversion) {
    const std::string out = folder_ / "out/movie.mp4";
    EXPECT_EQ(build(settings_, item_, context_),
              "\"/usr/bin/ffmpeg\" -y  -i \"" + item_.sourcePath +
                  "\" -c:v libx264 -b:v 1200k  -vf scale=1280:720 -r 25.000 -c:a aac -b:a 128k  -ac 2 -f mp4  \"" +
                  out + "\" ");
    EXPECT_EQ(item_.outputPath, out);
}

TEST_F(BuilderTest, FfmpegSizes) {
    settings_.video_use_size = "y";
    settings_.video_width = "640";
    settings_.video_height = "480";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -vf scale=640:480 -r 25.000 "));

    settings_.video_use_sameratio = "y";
    EXPECT_TRUE(contains(build(settings_, item_, context_),
                         " -vf crop=1280:720:(1280-1280)/2:(720-720)/2,scale=640:360,"
                         "pad=640:480:(640-640)/2:(480-360)/2:black -r "));
    settings_.video_use_crop = "y";
    EXPECT_TRUE(
        contains(build(settings_, item_, context_), " -vf crop=995:560:(1280-995)/2:(720-560)/2,scale=640:360,"));

    // A source of unknown height never reaches the aspect computation: no size filter at all.
    item_.media.videoHeight = "";
    EXPECT_FALSE(contains(build(settings_, item_, context_), "-vf"));
    item_.media.videoHeight = "720";

    settings_.video_width = "원본";
    EXPECT_FALSE(contains(build(settings_, item_, context_), "-vf"));

    settings_.video_codec = "copy";
    settings_.video_use_size = "n";
    const std::string copy = build(settings_, item_, context_);
    EXPECT_TRUE(contains(copy, " -c:v copy  -c:a aac"));
    EXPECT_FALSE(contains(copy, "-b:v"));
    EXPECT_FALSE(contains(copy, "-r "));
}

TEST_F(BuilderTest, AspectKeepingSizes) {
    const auto wide = fitKeepingAspect(1280, 720, 640, 480, false);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->scaleWidth, 640);
    EXPECT_EQ(wide->scaleHeight, 360);
    EXPECT_EQ(wide->cropWidth, 1280);
    EXPECT_EQ(wide->cropHeight, 720);
    EXPECT_EQ(wide->expandWidth, 640);
    EXPECT_EQ(wide->expandHeight, 480);
    const auto narrow = fitKeepingAspect(640, 480, 854, 480, true);
    ASSERT_TRUE(narrow);
    EXPECT_EQ(narrow->scaleWidth, 640);
    EXPECT_EQ(narrow->scaleHeight, 480);
    EXPECT_EQ(narrow->cropWidth, 497);
    EXPECT_EQ(narrow->cropHeight, 372);
    EXPECT_FALSE(fitKeepingAspect(640, 0, 854, 480, true));
    EXPECT_FALSE(fitKeepingAspect(640, 480, 854, 0, false));
}

TEST_F(BuilderTest, FfmpegSizesARotatedSourceAsItIsShown) {
    item_.media.videoRotation = "90.000";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -vf scale=720:1280 -r "));
    item_.media.videoRotation = "180.000";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -vf scale=1280:720 -r "));
    settings_.video_use_size = "y";
    settings_.video_use_sameratio = "y";
    settings_.video_width = "640";
    settings_.video_height = "480";
    item_.media.videoRotation = "270.000";
    EXPECT_TRUE(
        contains(build(settings_, item_, context_), " -vf crop=720:1280:(720-720)/2:(1280-1280)/2,scale=270:480,"));
}

TEST_F(BuilderTest, FfmpegFlipMirrorAndRotation) {
    item_.media.videoWidth = "";
    item_.media.videoHeight = "";
    settings_.filter_flip = "y";
    settings_.filter_mirror = "y";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -vf vflip,hflip -r "));
    settings_.filter_flip = "n";
    settings_.filter_ratate = "-90";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -vf hflip,transpose=2 -r "));
    settings_.filter_mirror = "n";
    settings_.filter_ratate = "180";  // no rotation, and no "-vf" left without a filter
    EXPECT_FALSE(contains(build(settings_, item_, context_), "-vf"));

    item_.media.videoWidth = "1280";
    item_.media.videoHeight = "720";
    settings_.video_use_size = "y";
    settings_.video_use_sameratio = "y";
    settings_.video_width = "640";
    settings_.video_height = "480";
    settings_.filter_ratate = "90";
    EXPECT_TRUE(contains(build(settings_, item_, context_), ":black,transpose=1 -r "));
}

TEST_F(BuilderTest, FfmpegLogoReplacesTheOtherFilters) {
    test::writeFile(folder_ / "my logo's [1].png", "png bytes");
    options_->setOption("logouse", "y");
    options_->setOption("logopath", folder_ / "my logo's [1].png");
    options_->setOption("logocorner", "3");
    options_->setOption("logox", "10");
    options_->setOption("logoy", "20;drawtext");
    settings_.filter_flip = "y";
    const std::string cmd = build(settings_, item_, context_);
    EXPECT_FALSE(contains(cmd, "scale="));
    EXPECT_FALSE(contains(cmd, "vflip"));
    EXPECT_TRUE(contains(cmd, " [watermark];[in][watermark] overlay=10:main_h-overlay_h-20 [out]\" -r 25.000"));
    EXPECT_EQ(test::readFile(folder_ / "cache/temp_logo.png"), "png bytes");
    // The filter is one argument, and it names the copy in the cache folder.
    const auto args = splitCommandLine(cmd);
    const auto vf = std::find(args.begin(), args.end(), "-vf");
    ASSERT_NE(vf, args.end());
    EXPECT_EQ(vf[1].rfind("movie=" + folder_ / "cache/temp_logo.png", 0), 0u) << vf[1];

    options_->setOption("logopath", folder_ / "missing.png");
    EXPECT_FALSE(contains(build(settings_, item_, context_), "overlay"));
}

TEST_F(BuilderTest, FfmpegAudioOptions) {
    EXPECT_FALSE(contains(build(settings_, item_, context_), "-vol"));
    settings_.volume = "50";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -vol 128 -ac 2"));
    settings_.volume = "200";
    settings_.audio_use_srate = "y";
    settings_.audio_srate = "48000";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -c:a aac -b:a 128k  -ar 48000 -vol 512 -ac 2"));
    settings_.audio_codec = "copy";
    const std::string copy = build(settings_, item_, context_);
    EXPECT_TRUE(contains(copy, " -c:a copy  -f mp4"));
    settings_.audio_use = "n";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -an  -f mp4"));
    settings_.video_use = "n";
    settings_.audio_use = "y";
    settings_.audio_codec = "";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -vn  -b:a 128k"));
}

TEST_F(BuilderTest, FfmpegTestRunsAndExtraOptions) {
    settings_.plusparam2 = "-threads 1";
    context_.fullRun = false;
    context_.testEncodeSeconds = 5;
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -ac 2 -threads 1  -ss 00:00:00.00 -t  5 -f mp4 "));
    // Copied video keeps its frames before the first key frame: no -ss then.
    settings_.video_codec = "copy";
    const std::string copy = build(settings_, item_, context_);
    EXPECT_TRUE(contains(copy, " -t  5 -f mp4 "));
    EXPECT_FALSE(contains(copy, "-ss"));
}

TEST_F(BuilderTest, FfmpegRangeAndSoundOfTheItem) {
    item_.rangeStartSeconds = 1.5;
    item_.rangeEndSeconds = 4;
    item_.keepSound = false;
    const std::string cmd = build(settings_, item_, context_);
    EXPECT_TRUE(contains(cmd, " -y  -ss 1.5 -to 4 -i \""));
    EXPECT_TRUE(contains(cmd, " -r 25.000 -an  -f mp4 "));
    EXPECT_FALSE(contains(cmd, "-c:a"));
    // A test run encodes its seconds from the range's start: the limit is on the output.
    context_.fullRun = false;
    context_.testEncodeSeconds = 5;
    item_.rangeEndSeconds = 0;
    const std::string test = build(settings_, item_, context_);
    EXPECT_TRUE(contains(test, " -ss 1.5 -i \""));
    EXPECT_FALSE(contains(test, "-to"));
    EXPECT_TRUE(contains(test, " -ss 00:00:00.00 -t  5 "));
}

TEST_F(BuilderTest, FfmpegSpeedChangesPictureAndSound) {
    settings_.use_speed = "y";
    settings_.speed = "2.0";
    const std::string twice = build(settings_, item_, context_);
    EXPECT_TRUE(contains(twice, " -vf scale=1280:720,setpts=PTS/2 -r 25.000 ")) << twice;
    EXPECT_TRUE(contains(twice, " -ac 2 -af atempo=2 ")) << twice;
    // atempo keeps its quality between half and twice the speed: further, stages are chained.
    EXPECT_EQ(atempoChain(4.0), "atempo=2,atempo=2");
    EXPECT_EQ(atempoChain(3.0), "atempo=2,atempo=1.5");
    EXPECT_EQ(atempoChain(0.25), "atempo=0.5,atempo=0.5");
    EXPECT_EQ(atempoChain(0.3), "atempo=0.5,atempo=0.6");
    // Turned off, or no number: the length stays.
    settings_.use_speed = "n";
    EXPECT_FALSE(contains(build(settings_, item_, context_), "atempo"));
    settings_.use_speed = "y";
    settings_.speed = "1";
    EXPECT_FALSE(contains(build(settings_, item_, context_), "setpts"));
}

TEST_F(BuilderTest, FfmpegFrameRates) {
    item_.media.videoFrameRate = "29.970";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -r 30000/1001 "));
    settings_.video_use_fps = "y";
    settings_.video_fps = "15";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -r 15 "));
    settings_.video_fps = "원본";
    EXPECT_TRUE(contains(build(settings_, item_, context_), " -r 30000/1001 "));
    settings_.video_fps = "";
    EXPECT_FALSE(contains(build(settings_, item_, context_), " -r "));
}

TEST_F(BuilderTest, OutputNamesNeverTakeAnExistingFile) {
    test::writeFile(folder_ / "out/movie.mp4", "x");
    build(settings_, item_, context_);
    EXPECT_EQ(item_.outputPath, folder_ / "out/movie(1).mp4");
    test::writeFile(folder_ / "out/movie(1).mp4", "x");
    build(settings_, item_, context_);
    EXPECT_EQ(item_.outputPath, folder_ / "out/movie(2).mp4");

    settings_.filename = "{ori_name}_small.{base_ext}";
    settings_.container = "avi";  // file_ext ".avi": the dot is dropped
    settings_.video_codec = "xvid";
    settings_.audio_codec = "mp3";
    build(settings_, item_, context_);
    EXPECT_EQ(item_.outputPath, folder_ / "out/movie_small.avi");

    // The same folder as the source: the source itself is taken, so the output gets "(1)".
    settings_.filename = "{ori_name}.{base_ext}";
    context_.output.sameFolderAsSource = true;
    item_.sourcePath = folder_ / "in/movie.avi";
    build(settings_, item_, context_);
    EXPECT_EQ(item_.outputPath, folder_ / "in/movie(1).avi");

    // No extension and a file_ext of ".": the name ends in a dot.
    test::writeFile(folder_ / "in/clip", "x");
    item_.sourcePath = folder_ / "in/clip";
    settings_.container = "mkv";
    settings_.video_codec = "h264";
    settings_.audio_codec = "aac";
    build(settings_, item_, context_);
    EXPECT_EQ(item_.outputPath, folder_ / "in/clip..");
    test::writeFile(folder_ / "in/clip..", "x");
    build(settings_, item_, context_);
    EXPECT_EQ(item_.outputPath, folder_ / "in/clip.(1).");
}

TEST_F(BuilderTest, DoubledSeparatorsAreCollapsedInTheCommandOnly) {
    context_.output.folder = folder_ / "out/";
    const std::string cmd = build(settings_, item_, context_);
    EXPECT_EQ(item_.outputPath, folder_ / "out//movie.mp4");
    EXPECT_TRUE(contains(cmd, " \"" + folder_ / "out/movie.mp4\" "));
    EXPECT_EQ(collapseDoubledSeparators("//server/share//movie.mp4"), "//server/share//movie.mp4");
    EXPECT_EQ(collapseDoubledSeparators("/tmp//tv_1.swf"), "/tmp/tv_1.swf");
}

TEST_F(BuilderTest, HostileNamesStayOneArgument) {
    const std::string hostile = folder_ / "in/a\" -f mp4 \"x.avi";
    test::writeFile(hostile, "x");
    item_.sourcePath = hostile;
    const auto args = splitCommandLine(build(settings_, item_, context_));
    const auto input = std::find(args.begin(), args.end(), "-i");
    ASSERT_NE(input, args.end());
    EXPECT_EQ(input[1], hostile);
    EXPECT_EQ(args.back(), folder_ / "out/a\" -f mp4 \"x.mp4");
    EXPECT_EQ(std::count(args.begin(), args.end(), "-f"), 1);
}

TEST_F(BuilderTest, TheOutputNameIsOneFileInTheOutputFolder) {
    const std::string out = folder_ / "out";
    const auto outputOf = [&](const std::string& pattern) {
        settings_.filename = pattern;
        const auto args = splitCommandLine(build(settings_, item_, context_));
        // The file the encoder writes and the one the item ends as, both in the output folder.
        EXPECT_EQ(parentFolder(args.empty() ? std::string() : args.back()), out) << pattern;
        EXPECT_EQ(parentFolder(item_.outputPath), out) << pattern;
        return std::string(fileNamePart(item_.outputPath));
    };
    // Folders in the pattern, either separator: only the last component is kept.
    EXPECT_EQ(outputOf("../../x_{ori_name}.{base_ext}"), "x_movie.mp4");
    EXPECT_EQ(outputOf("..\\..\\x_{ori_name}.{base_ext}"), "x_movie.mp4");
    EXPECT_EQ(outputOf("/etc/{ori_name}"), "movie");
    // Nothing usable left: the default pattern's name.
    for (const char* pattern : {"", "/", "\\/\\", "{ori_name}/..", "sub/.", "..", "."}) {
        EXPECT_EQ(outputOf(pattern), "movie.mp4") << pattern;
    }
    // The source's own name is never read as a pattern.
    for (const char* name : {"a{base_ext}b.avi", "{ori_name}.avi", "..{base_ext}.avi"}) {
        item_.sourcePath = folder_ / ("in/" + std::string(name));
        test::writeFile(item_.sourcePath, "x");
        const std::string stem(name, std::string_view(name).rfind('.'));
        EXPECT_EQ(outputOf("{ori_name}.{base_ext}"), stem + ".mp4") << name;
        EXPECT_EQ(outputOf("{base_ext}_{ori_name}"), "mp4_" + stem) << name;
    }
    // A source named "..." has the stem "..": a pattern of only that falls back as well.
    item_.sourcePath = folder_ / "in/...";
    EXPECT_EQ(outputOf("{ori_name}"), "...mp4");
    EXPECT_EQ(outputFileName(settings_, item_, catalogue_.findContainer("mp4")), "...mp4");
}

TEST_F(BuilderTest, TheSettingsCheckTakesTheBuildersKeepSourceValue) {
    ASSERT_EQ(settingsProblem(settings_, catalogue_), std::nullopt);
    settings_.video_width = settings_.video_height = settings_.video_fps = std::string(kKeepSourceValue);
    EXPECT_EQ(settingsProblem(settings_, catalogue_), std::nullopt);
}

TEST_F(BuilderTest, UnknownCatalogueNamesGiveEmptyOptions) {
    settings_.container = "nosuch";
    settings_.video_codec = "nosuch";
    const std::string cmd = build(settings_, item_, context_);
    EXPECT_TRUE(contains(cmd, "-y  -i \""));
    EXPECT_EQ(item_.outputPath, folder_ / "out/movie.");
}

}  // namespace
}  // namespace torvane
