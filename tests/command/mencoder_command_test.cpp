#include "command/mencoder_command.h"

#include <filesystem>

#include "command/builder_fixture.h"
#include "command/encoder_choice.h"

namespace torvane {
namespace {

using test::BuilderTest;

class MencoderTest : public BuilderTest {
protected:
    MencoderTest() {
        settings_.container = "avi";
        settings_.video_codec = "xvid";
        settings_.audio_codec = "mp3";
    }
    std::string build() { return buildMencoderCommand(settings_, item_, 0, context_); }
};

TEST_F(MencoderTest, PlainConversion) {
    EXPECT_EQ(build(), "\"/usr/bin/mencoder\"  \"" + item_.sourcePath + "\" -o \"" + folder_ / "out/movie.avi" +
                           "\" -mc 0 -of avi  -ovc xvid -xvidencopts bitrate=1200  -vf-add scale=1280:720 -ofps "
                           "25.000 -oac mp3lame -lameopts cbr:br=128  -channels 2 -noodml  -sws 2");
    // mencoder does not make the folder it writes into.
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "out"));
}

TEST_F(MencoderTest, SizesFiltersAndRates) {
    settings_.video_use_size = "y";
    settings_.video_use_sameratio = "y";
    settings_.video_use_crop = "y";
    settings_.video_width = "640";
    settings_.video_height = "480";
    settings_.filter_flip = "y";
    settings_.filter_mirror = "y";
    settings_.filter_ratate = "90";
    settings_.filter_harddup = "y";
    item_.media.videoFrameRate = "23.976";
    EXPECT_TRUE(contains(build(),
                         " -vf-add crop=995:560:-1:-1 -vf-add scale=640:360 -vf-add expand=640:480:-1:-1:1"
                         " -ofps 24000/1001 -vf-add flip -vf-add mirror -vf-add rotate=1 -vf-add harddup "));
    settings_.filter_ratate = "180";
    EXPECT_FALSE(contains(build(), "rotate"));
    settings_.video_codec = "copy";
    const std::string copy = build();
    EXPECT_TRUE(contains(copy, " -ovc copy  -oac mp3lame"));
    EXPECT_FALSE(contains(copy, "-ofps"));
    EXPECT_FALSE(contains(copy, "-vf-add"));
    settings_.video_use = "n";
    EXPECT_TRUE(contains(build(), " -mc 0 -of avi  -ovc frameno -oac"));
}

TEST_F(MencoderTest, SubtitlesAreBurntIn) {
    test::writeFile(folder_ / "in/movie.smi", "<SAMI>");
    test::writeFile(folder_ / "program/mplayer/subfont.ttf", "font");
    item_.subtitlePath = folder_ / "in/movie.smi";
    settings_.sub_use = "y";
    EXPECT_TRUE(contains(build(), " -sub \"" + item_.subtitlePath + "\" -ass  -font \"" +
                                      folder_ / "program/mplayer/subfont.ttf" +
                                      "\" -subcp cp949 -subpos 95 -ass-force-style Outline=2,Blur=2,MarginV=14 "
                                      "-subfont-blur 2 -subfont-outline 2 -subfont-text-scale 4 -oac"));
    settings_.sub_delay = "1.5";
    settings_.sub_pos = "";
    const std::string cmd = build();
    EXPECT_TRUE(contains(cmd, " -subfont-text-scale 4 -subdelay 1.5 -oac"));
    EXPECT_FALSE(contains(cmd, "-subpos"));
}

TEST_F(MencoderTest, AudioVolumeSpeedAndTestRuns) {
    EXPECT_EQ(mencoderVolumeGain("200"), 4);
    EXPECT_EQ(mencoderVolumeGain("125"), 1);
    EXPECT_EQ(mencoderVolumeGain("110"), 0);
    EXPECT_EQ(mencoderVolumeGain("30"), -10);
    EXPECT_EQ(mencoderVolumeGain("95"), 0);
    settings_.volume = "50";
    settings_.audio_use_srate = "y";
    EXPECT_TRUE(contains(build(), " -srate 44100 -af-add lavcresample=44100 -af-add volume=-7:1 -channels 2 "));
    settings_.volume = "110";
    EXPECT_FALSE(contains(build(), "volume="));
    settings_.use_speed = "y";
    settings_.speed = "1.0";
    EXPECT_FALSE(contains(build(), "-speed"));
    settings_.speed = "2.5";
    context_.fullRun = false;
    context_.testEncodeSeconds = 7;
    item_.media.durationExact = 60.0f;
    EXPECT_TRUE(contains(build(), " -noodml  -sws 2 -speed 2.5 -endpos 7"));
    // A test as long as the whole output (18 s at 2.5x is 7.2 s) is a full encode: mencoder
    // would never end with -endpos 7.
    item_.media.durationExact = 18.0f;
    EXPECT_FALSE(contains(build(), "-endpos"));
    settings_.audio_use = "n";
    EXPECT_TRUE(contains(build(), " -nosound  -noodml "));
}

TEST_F(MencoderTest, RangeAndSoundOfTheItem) {
    item_.media.durationExact = 60.0f;
    item_.rangeStartSeconds = 10;
    item_.rangeEndSeconds = 22.5;
    item_.keepSound = false;
    // -endpos is a length after -ss.
    EXPECT_TRUE(contains(build(), " -nosound  -noodml  -sws 2 -ss 10 -endpos 12.5"));
    context_.fullRun = false;
    context_.testEncodeSeconds = 5;
    EXPECT_TRUE(contains(build(), " -ss 10 -endpos 5"));
    context_.testEncodeSeconds = 30;
    EXPECT_TRUE(contains(build(), " -ss 10 -endpos 12.5"));
    item_.rangeEndSeconds = 0;
    EXPECT_TRUE(contains(build(), " -ss 10 -endpos 30"));
    // Up to the source's end: no -endpos, with which mencoder would not end.
    context_.testEncodeSeconds = 50;
    EXPECT_FALSE(contains(build(), "-endpos"));
    context_.fullRun = true;
    EXPECT_TRUE(build().ends_with(" -ss 10"));
    item_.rangeEndSeconds = 59.8;
    EXPECT_FALSE(contains(build(), "-endpos"));
}

TEST_F(BuilderTest, EncoderChoice) {
    const auto choose = [&](const std::string& container) {
        return chooseEncoder(settings_, item_, catalogue_.findContainer(container));
    };
    settings_.container = "avi";
    settings_.video_codec = "xvid";
    settings_.audio_codec = "mp3";
    EXPECT_EQ(choose("avi"), Encoder::Ffmpeg);
    settings_.eg = "m";
    EXPECT_EQ(choose("avi"), Encoder::Mencoder);
    settings_.eg = "F";  // only the exact "f" forces ffmpeg; "F" chooses automatically
    item_.sourcePath = "/in/PHONE.SKM";
    EXPECT_EQ(choose("avi"), Encoder::Mencoder);
    item_.sourcePath = "/in/movie.avi";
    item_.media.videoCodec = "mss2";
    EXPECT_EQ(choose("avi"), Encoder::Ffmpeg);
    item_.media.videoCodec = "MSS2";
    EXPECT_EQ(choose("avi"), Encoder::Mencoder);
    item_.media.videoCodec = "";

    settings_.sub_use = "y";
    item_.subtitlePath = "/in/movie.smi";
    EXPECT_EQ(choose("avi"), Encoder::Ffmpeg);  // the source has no picture
    item_.media.videoStreamCount = 1;
    EXPECT_EQ(choose("avi"), Encoder::Mencoder);
    settings_.container = "MP3";  // audio-only, whatever the case
    EXPECT_EQ(choose("mp3"), Encoder::Ffmpeg);
    settings_.container = "avi";
    item_.sourcePath = "/in/movie.SWF";
    settings_.use_speed = "y";
    settings_.speed = "2";
    EXPECT_EQ(choose("avi"), Encoder::Ffmpeg);

    // mencoder has no AAC encoder in this catalogue: subtitles must not send MP4 there.
    item_.sourcePath = "/in/movie.avi";
    settings_.container = "mp4";
    settings_.video_codec = "h264";
    settings_.audio_codec = "aac";
    EXPECT_EQ(choose("mp4"), Encoder::Ffmpeg);
    EXPECT_FALSE(mencoderCanWrite(settings_, catalogue_.findContainer("mp4")));
}

}  // namespace
}  // namespace torvane
