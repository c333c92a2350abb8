#include <gtest/gtest.h>

#include "command/placeholders.h"
#include "media/source_item.h"
#include "settings/encode_settings.h"

namespace torvane {
namespace {

class PlaceholdersTest : public ::testing::Test {
protected:
    PlaceholdersTest() {
        values_.programFolder = "/opt/torvane";
        values_.tempFolder = "/tmp/";
        values_.fontsFolder = "/home/u/.local/share/fonts";
        values_.subtitleFontFolder = "/opt/torvane/mplayer";
        values_.cpuCount = 2;
        settings_.video_bitrate = "1200";
        settings_.audio_bitrate = "128";
        settings_.audio_vbr = "cbr";
        settings_.volume = "100";
        settings_.audio_srate = "44100";
        settings_.audio_channels = "2";
        settings_.sws = "2";
        settings_.speed = "1.0";
        item_.media.videoWidth = "640";
        item_.media.videoHeight = "480";
    }
    std::string expand(std::string_view text, std::string_view in = "/in/clip.avi",
                       std::string_view out = "/out/o.mp4") {
        return expandPlaceholders(text, settings_, item_, in, out, values_);
    }
    PlaceholderValues values_;
    EncodeSettings settings_;
    SourceItem item_;
};

TEST_F(PlaceholdersTest, EveryPlaceholderHasItsValue) {
    EXPECT_EQ(expand("{infile}|{outfile}|{cpucount}|{infile_ext}|{sysfontdir}|{subfontdir}|{tempDir}|{curdir}"),
              "/in/clip.avi|/out/o.mp4|2|avi|/home/u/.local/share/fonts|/opt/torvane/mplayer|/tmp/|/opt/torvane");
    EXPECT_EQ(expand("{width}x{height} {vbitrate} {abitrate} {vbr} {volume} {srate} {channels} {sws} {speed}"),
              "640x480 1200 128 cbr 100 44100 2 2 1.0");
    EXPECT_EQ(expand("{tempDir}tv_1.swf"), "/tmp/tv_1.swf");
    EXPECT_EQ(expand("{curdir}/ffmpeg"), "/opt/torvane/ffmpeg");
}

TEST_F(PlaceholdersTest, OrderDecidesWhatIsExpandedAgain) {
    EXPECT_EQ(expand("no braces at all"), "no braces at all");
    EXPECT_EQ(expand("{infile} {infile}"), "/in/clip.avi /in/clip.avi");
    // Paths are never expanded: a file name holding placeholder text stays the file's name.
    EXPECT_EQ(expand("{infile}", "{infile}"), "{infile}");
    EXPECT_EQ(expand("\"{infile}\" \"{outfile}\"", "/in/{curdir}.avi", "/out/{vbitrate}{outfile}.mp4"),
              "\"/in/{curdir}.avi\" \"/out/{vbitrate}{outfile}.mp4\"");
    // Text inserted by an earlier step is seen by later ones.
    settings_.video_bitrate = "{speed}";
    EXPECT_EQ(expand("{vbitrate}"), "1.0");
    EXPECT_EQ(expand("{INFILE} { infile} {unknown}"), "{INFILE} { infile} {unknown}");
}

TEST_F(PlaceholdersTest, PathsGoInEscapedForTheirQuotes) {
    EXPECT_EQ(expand("\"{infile}\"", "/in/a\" -f mp4 \"x.avi"), "\"/in/a\\\" -f mp4 \\\"x.avi\"");
    EXPECT_EQ(expand("\"{outfile}\"", "", "/out/back\\slash.mp4"), "\"/out/back\\\\slash.mp4\"");
}

TEST_F(PlaceholdersTest, TheInputExtensionComesFromTheFileName) {
    EXPECT_EQ(expand("{infile_ext}", "/in/Clip.AVI"), "AVI");
    EXPECT_EQ(expand("{infile_ext}", "/in/v1.0/clip"), "");
    EXPECT_EQ(expand("{infile_ext}", "/in/clip.part1.mkv"), "mkv");
}

}  // namespace
}  // namespace torvane
