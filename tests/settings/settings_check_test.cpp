#include <gtest/gtest.h>

#include <filesystem>

#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/settings_check.h"
#include "support/test_support.h"

namespace torvane {
namespace {

class SettingsCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(catalogue_.loadCatalogue(test::sourceDir() + "/data/torvane.ini"));
        test::writeFile(folder_ / "x.ini", "");
        ASSERT_TRUE(settings_.loadProfile(folder_ / "x.ini"));
    }
    // The problem with one value changed in otherwise default settings.
    std::optional<std::string> problemWith(std::string_view key, std::string_view value) {
        EncodeSettings changed;
        changed.assignSettings(settings_);
        changed.*findSettingsKey(key)->field = std::string(value);
        return settingsProblem(changed, catalogue_);
    }
    test::TempFolder folder_;
    FormatCatalogue catalogue_;
    EncodeSettings settings_;
};

TEST_F(SettingsCheckTest, EveryShippedPresetIsAccepted) {
    std::vector<std::string> profiles = {test::sourceDir() + "/data/common_avi.ini"};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(test::sourceDir() + "/data/preset")) {
        if (entry.is_regular_file()) profiles.push_back(entry.path().string());
    }
    ASSERT_GE(profiles.size(), 50u);
    for (const std::string& profile : profiles) {
        EncodeSettings settings;
        ASSERT_TRUE(settings.loadProfile(profile)) << profile;
        EXPECT_EQ(settingsProblem(settings, catalogue_), std::nullopt) << profile;
        // As the settings dialog leaves them with the size and frame-rate boxes off.
        settings.video_width = settings.video_height = settings.video_fps = "원본";
        EXPECT_EQ(settingsProblem(settings, catalogue_), std::nullopt) << profile;
    }
    EXPECT_EQ(settingsProblem(settings_, catalogue_), std::nullopt) << "the defaults of an empty profile";
}

TEST_F(SettingsCheckTest, TheMessageNamesTheFileTheKeyAndTheValue) {
    EXPECT_EQ(
        problemWith("video_fps", "15 -f mp4 /some/file"),
        "프리셋 값이 올바르지 않습니다: " + (folder_ / "x.ini") +
            " 의 video_fps = \"15 -f mp4 /some/file\" (0보다 크고 1000 이하인 숫자, 30000/1001 같은 분수 또는 원본)");
    // A record not read from a file names no file; a long value is shown cut.
    EncodeSettings settings;
    settings.assignSettings(settings_);
    settings.profilePath.clear();
    settings.volume = std::string(500, '1');
    const std::string message = settingsProblem(settings, catalogue_).value_or("");
    EXPECT_EQ(message.rfind("프리셋 값이 올바르지 않습니다: volume = \"111", 0), 0u) << message;
    EXPECT_LT(message.size(), 250u);
}

TEST_F(SettingsCheckTest, NumbersMustBePlainAndInRange) {
    struct Case {
        std::string_view key;
        std::vector<std::string_view> good;
        std::vector<std::string_view> bad;
    };
    // Bad values: more words for the command line, other number spellings, out of range.
    const std::vector<std::string_view> neverNumbers = {"abc", " 30", "30 ", "1e3", "+5", "0x10", "5 -y", "1..2", "."};
    const Case cases[] = {
        {"video_bitrate", {"", "0", "1200", "147000"}, {"-1", "1200.5", "1200k", "3000000"}},
        {"audio_bitrate", {"", "32", "1536"}, {"-128", "128k", "99999"}},
        {"video_width", {"", "원본", "1", "1920", "16384"}, {"0", "-1", "16385", "1920.0", "원본 "}},
        {"video_height", {"", "원본", "1080"}, {"0", "1080x"}},
        {"video_fps",
         {"", "원본", "29.97", "23.976", "30", "0.5", "30000/1001", "24000/1001"},
         {"0", "-30", "1001", "30000/0", "/1001", "30000/", "-30000/1001", "30/1/1", "29,97"}},
        {"audio_srate", {"", "8000", "44100", "48000"}, {"0", "999", "44100.5", "1000000"}},
        {"audio_channels", {"1", "2", "6"}, {"", "0", "9", "2.0"}},
        {"volume", {"0", "100", "200", "300"}, {"", "301", "-1", "50.5"}},
        {"speed", {"", "0.5", "1.0", "2.5", "100"}, {"0", "0.001", "101", "-1.0"}},
        {"sub_pos", {"", "0", "95", "100"}, {"101", "-1", "9.5"}},
        {"sub_textscale", {"", "0", "4", "3.5", "100"}, {"101", "-1"}},
        {"sub_outline", {"", "0", "2", "1.5", "8"}, {"9", "-1"}},
        {"sub_blur", {"", "0", "2", "8"}, {"8.5"}},
        {"sub_delay", {"", "0", "-1.5", "2", "86400"}, {"--1", "-", "86401"}},
        {"sws", {"", "0", "2", "9", "10"}, {"11", "-1", "2.0"}},
        {"prioritylevel", {"", "1", "0", "-2"}, {"100"}},
        {"video_crop", {"", "4:3", "16:9", "2.31:1"}, {"16", "16:", ":9", "0:9", "16:9:1", "16/9"}},
    };
    for (const Case& c : cases) {
        for (const std::string_view value : c.good) {
            EXPECT_EQ(problemWith(c.key, value), std::nullopt) << c.key << "=" << value;
        }
        std::vector<std::string_view> bad = c.bad;
        bad.insert(bad.end(), neverNumbers.begin(), neverNumbers.end());
        for (const std::string_view value : bad) {
            const std::optional<std::string> problem = problemWith(c.key, value);
            ASSERT_TRUE(problem.has_value()) << c.key << "=" << value;
            EXPECT_NE(problem->find(" " + std::string(c.key) + " = \"" + std::string(value) + "\""), std::string::npos)
                << *problem;
        }
    }
}

TEST_F(SettingsCheckTest, FlagsAndChoicesTakeOnlyWhatTheyMean) {
    const char* flags[] = {"video_use",      "video_use_size",  "video_use_fps",   "video_use_sameratio",
                           "video_use_crop", "audio_use",       "audio_use_srate", "audio_use_channels",
                           "use_volume",     "sub_use",         "filter_flip",     "filter_mirror",
                           "filter_harddup", "use_multithread", "use_speed"};
    for (const char* flag : flags) {
        for (const char* on : {"y", "n", "yes", "no", "1", "0", "on", "off", ""}) {
            EXPECT_EQ(problemWith(flag, on), std::nullopt) << flag << "=" << on;
        }
        // "Y" reads as off, the opposite of what it says: refused rather than misread.
        for (const char* unclear : {"Y", "true", "y ", "2"})
            EXPECT_NE(problemWith(flag, unclear), std::nullopt) << flag;
    }
    for (const char* value : {"0", "90", "-90", ""}) EXPECT_EQ(problemWith("filter_ratate", value), std::nullopt);
    for (const char* value : {"180", "270", "90 "}) EXPECT_NE(problemWith("filter_ratate", value), std::nullopt);
    for (const char* value : {"cbr", "abr", "mt", "rh", "mtrh"})
        EXPECT_EQ(problemWith("audio_vbr", value), std::nullopt);
    EXPECT_NE(problemWith("audio_vbr", "cbr:q=2"), std::nullopt);
    for (const char* value : {"a", "f", "m"}) EXPECT_EQ(problemWith("eg", value), std::nullopt);
    EXPECT_NE(problemWith("eg", "F"), std::nullopt);
    for (const char* value : {"cp949", "utf-8", "enca:ko:cp949", "ISO-8859-1", ""}) {
        EXPECT_EQ(problemWith("sub_subcp", value), std::nullopt) << value;
    }
    for (const char* value : {"-o /tmp/x", "cp949 -o x", "utf 8"})
        EXPECT_NE(problemWith("sub_subcp", value), std::nullopt);
    // A speed is needed only when the speed change is on.
    EXPECT_EQ(problemWith("speed", ""), std::nullopt);
    settings_.use_speed = "y";
    EXPECT_NE(problemWith("speed", ""), std::nullopt);
    // The user's own encoder options are theirs.
    EXPECT_EQ(problemWith("plusparam2", "-af arealtime -f mp4"), std::nullopt);
}

TEST_F(SettingsCheckTest, ContainerAndCodecsComeFromTheCatalogue) {
    settings_.container = "mp4";
    settings_.video_codec = "h264";
    settings_.audio_codec = "aac";
    EXPECT_EQ(settingsProblem(settings_, catalogue_), std::nullopt);
    for (const char* container : {"", "MP4", "mp4 -f avi", "nosuch"}) {
        const auto problem = problemWith("container", container);
        ASSERT_TRUE(problem.has_value()) << container;
        EXPECT_NE(problem->find(" container = \"" + std::string(container) + "\""), std::string::npos);
    }
    // Each codec within its container: xvid is an AVI codec, not an MP4 one.
    EXPECT_NE(problemWith("video_codec", "xvid"), std::nullopt);
    EXPECT_NE(problemWith("audio_codec", "vorbis"), std::nullopt);
    EXPECT_EQ(problemWith("video_codec", "copy"), std::nullopt);
    // Empty leaves the choice to the encoder; a side that is off is not looked at.
    EXPECT_EQ(problemWith("video_codec", ""), std::nullopt);
    EXPECT_EQ(problemWith("audio_codec", ""), std::nullopt);
    settings_.video_use = "n";
    EXPECT_EQ(problemWith("video_codec", "xvid"), std::nullopt);
}

}  // namespace
}  // namespace torvane
