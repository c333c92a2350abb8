#include "command/settings_summary.h"

#include <gtest/gtest.h>

#include "command/placeholders.h"
#include "media/source_item.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "support/test_support.h"

namespace torvane {
namespace {

class SettingsSummaryTest : public ::testing::Test {
protected:
    SettingsSummaryTest() {
        test::writeFile(folder_ / "torvane.ini",
                        "[config]\ncontainer=avi,etc\n"
                        "[container_avi]\ntitle=AVI\nfile_ext=.avi\nuse_video=y\nuse_audio=y\n"
                        "[container_etc]\ntitle=ETC\nfile_ext=.bin\n");
        EXPECT_TRUE(catalogue_.loadCatalogue(folder_ / "torvane.ini"));
        settings_.container = "avi";
        settings_.filename = "{ori_name}_new.{base_ext}";
        settings_.video_use = "y";
        settings_.video_codec = "xvid";
        settings_.video_width = "640";
        settings_.video_height = "480";
        settings_.video_fps = "25";
        settings_.video_bitrate = "1200";
        settings_.audio_use = "y";
        settings_.audio_codec = "mp3";
        settings_.audio_vbr = "cbr";
        settings_.audio_bitrate = "128";
        settings_.audio_channels = "2";
        settings_.audio_srate = "44100";
        item_.sourcePath = "/videos/holiday.mkv";
        item_.media.durationSeconds = 90;
    }
    SettingsSummary summary() const { return summarizeSettings(settings_, catalogue_, item_, values_); }

    test::TempFolder folder_;
    FormatCatalogue catalogue_;
    EncodeSettings settings_;
    SourceItem item_;
    PlaceholderValues values_;
};

TEST_F(SettingsSummaryTest, RowsShowNameFormatTimeAndStreams) {
    const SettingsSummary rows = summary();
    EXPECT_EQ(rows.file, "holiday_new.avi\navi  00:01:30  1328Kbps");
    EXPECT_EQ(rows.video, "xvid\n640x480  25 fps  1200 Kbps");
    EXPECT_EQ(rows.audio, "mp3\ncbr    128 Kbps  2 Ch  44100 Hz");
    EXPECT_EQ(rows.other, "");
    // A range of the item is what the output lasts; without its sound there is no audio row.
    item_.rangeStartSeconds = 10;
    item_.rangeEndSeconds = 25;
    item_.keepSound = false;
    EXPECT_EQ(summary().file, "holiday_new.avi\navi  00:00:15  1328Kbps");
    EXPECT_EQ(summary().audio, "");
}

// The "기타" row says what becomes of the subtitle: burnt in, kept as a track where the format
// holds one, nothing for a copied picture or a file without one.
TEST_F(SettingsSummaryTest, TheOtherRowSaysWhatBecomesOfTheSubtitle) {
    item_.media.videoStreamCount = 1;
    item_.subtitlePath = "/videos/holiday.ko.smi";
    settings_.sub_use = "y";
    EXPECT_EQ(summary().other, "자막 입힘: holiday.ko.smi");
    settings_.sub_embed = "y";  // AVI holds no text track: still burnt in
    EXPECT_EQ(summary().other, "자막 입힘: holiday.ko.smi");
    settings_.container = "mkv";
    EXPECT_EQ(summary().other, "자막 트랙(한국어): holiday.ko.smi");
    settings_.sub_embed = "n";
    settings_.video_codec = "copy";
    EXPECT_EQ(summary().other, "");
    settings_.video_codec = "xvid";
    item_.media.videoStreamCount = 0;
    EXPECT_EQ(summary().other, "");
}

TEST_F(SettingsSummaryTest, SpecialValuesShortenTheirRows) {
    item_.media.durationSeconds = 0;
    settings_.video_width.clear();
    EXPECT_EQ(summary().file, "holiday_new.avi\navi  0 초  1328Kbps");
    EXPECT_EQ(summary().video, "xvid\n원본크기  25 fps  1200 Kbps");

    settings_.video_codec = "copy";
    settings_.audio_codec = "copy";
    EXPECT_EQ(summary().video, "copy\n");
    EXPECT_EQ(summary().audio, "copy\n");

    settings_.video_use = "no";
    settings_.audio_use = "n";
    EXPECT_EQ(summary().video, "");
    EXPECT_EQ(summary().audio, "");

    settings_.container = "etc";
    EXPECT_EQ(summary().file, "holiday_new.bin\n");
}

TEST_F(SettingsSummaryTest, SizesLeftAsKeepSourceShowAsStored) {
    settings_.video_width = "원본";
    settings_.video_height = "원본";
    EXPECT_EQ(summary().video, "xvid\n원본x원본  25 fps  1200 Kbps");
}

TEST_F(SettingsSummaryTest, FileRowNamesTheFileOnlyAndExpandsPlaceholders) {
    settings_.filename = "sub\\dir/{ori_name}_{vbitrate}k.{base_ext}";
    EXPECT_EQ(summary().file, "holiday_1200k.avi\navi  00:01:30  1328Kbps");
}

// The shipped catalogue and a shipped phone preset: the rows name the codecs as the user chose
// them in the settings dialog, not by the catalogue's internal ids.
TEST(SettingsSummaryShipped, RowsUseTheCataloguesCodecNames) {
    FormatCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadCatalogue(test::sourceDir() + "/data/torvane.ini"));
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(test::sourceDir() + "/data/preset/기기설정/스마트폰 태블릿/iphone.ini"));
    ASSERT_EQ(settings.video_codec, "h264_high31");
    SourceItem item;
    item.sourcePath = "/videos/holiday.mkv";
    const SettingsSummary rows = summarizeSettings(settings, catalogue, item, PlaceholderValues{});
    EXPECT_EQ(rows.video.substr(0, rows.video.find('\n')), "H.264 High 3.1 (720p 기기용)");
    EXPECT_EQ(rows.audio.substr(0, rows.audio.find('\n')), "AAC");
}

}  // namespace
}  // namespace torvane
