#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <future>

#include "platform/ini_file.h"
#include "settings/encode_settings.h"
#include "support/test_support.h"

namespace torvane {
namespace {

TEST(EncodeSettings, KeyTableHasTheFieldsInTableOrder) {
    const auto& keys = settingsKeys();
    ASSERT_EQ(keys.size(), 48u);
    EXPECT_EQ(keys.front().name, "profilePath");
    EXPECT_EQ(keys[1].name, "info_subject");
    EXPECT_EQ(keys[4].name, "container");
    EXPECT_EQ(keys[38].name, "filter_ratate");
    EXPECT_EQ(keys[46].name, "speed");
    EXPECT_EQ(keys.back().name, "sub_embed");
    // Every field appears once: no two rows point at the same member.
    for (std::size_t i = 0; i < keys.size(); ++i) {
        for (std::size_t j = i + 1; j < keys.size(); ++j) EXPECT_NE(keys[i].field, keys[j].field) << keys[i].name;
    }
    EXPECT_EQ(findSettingsKey("audio_vbr")->defaultValue, "cbr");
    EXPECT_EQ(findSettingsKey("Audio_vbr"), nullptr);
}

TEST(EncodeSettings, AnEmptyFileLoadsAsAllDefaults) {
    test::TempFolder folder;
    const std::string path = folder / "empty.ini";
    test::writeFile(path, "");
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(path));
    EXPECT_EQ(settings.profilePath, path);
    EXPECT_EQ(settings.container, "avi");
    EXPECT_EQ(settings.video_codec, "xvid");
    EXPECT_EQ(settings.video_bitrate, "1200");
    EXPECT_EQ(settings.audio_codec, "mp3");
    EXPECT_EQ(settings.audio_bitrate, "128");
    EXPECT_EQ(settings.audio_srate, "44100");
    EXPECT_EQ(settings.filename, "{ori_name}.{base_ext}");
    EXPECT_EQ(settings.eg, "a");
    EXPECT_EQ(settings.info_subject, "기본");
    EXPECT_EQ(settings.sub_font, "{subfontdir}/subfont.ttf");
    for (const std::string* empty :
         {&settings.info_step1, &settings.info_step2, &settings.video_width, &settings.video_height,
          &settings.video_crop, &settings.plusparam, &settings.plusparam2}) {
        EXPECT_EQ(*empty, "");
    }
}

TEST(EncodeSettings, LoadingReadsKeysWithoutCaseAndKeepsEmptyValues) {
    test::TempFolder folder;
    const std::string path = folder / "mixed.ini";
    test::writeFile(path,
                    "[general]\r\ninfo_subject=\xC8\xDE\xB4\xEB\xC6\xF9\r\n"  // "휴대폰" in CP949
                    "[setting]\r\nVideo_Codec=h264\r\nvideo_bitrate=\r\nvideo_use=Y\r\nunknown_key=1\r\n"
                    "plusparam2=" +
                        std::string(3000, 'p') + "\r\n");
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(path));
    EXPECT_EQ(settings.info_subject, "휴대폰");
    EXPECT_EQ(settings.video_codec, "h264");
    EXPECT_EQ(settings.video_bitrate, "");  // present but empty: not the default
    EXPECT_EQ(settings.video_use, "Y");     // carried as text; isTruthy decides later
    EXPECT_EQ(settings.plusparam2, std::string(2047, 'p'));
}

TEST(EncodeSettings, ASecondLoadOverwritesEveryFieldAndAMissingFileChangesNothing) {
    test::TempFolder folder;
    test::writeFile(folder / "a.ini", "[SETTING]\ncontainer=mp4\nvideo_codec=h264\nplusparam=-x\n");
    test::writeFile(folder / "b.ini", "[SETTING]\ncontainer=mkv\n");
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(folder / "a.ini"));
    ASSERT_TRUE(settings.loadProfile(folder / "b.ini"));
    EXPECT_EQ(settings.container, "mkv");
    EXPECT_EQ(settings.video_codec, "xvid");
    EXPECT_EQ(settings.plusparam, "");
    EXPECT_EQ(settings.profilePath, folder / "b.ini");

    const EncodeSettings before = settings;
    EXPECT_FALSE(settings.loadProfile(folder / "missing.ini"));
    EXPECT_FALSE(settings.loadProfile(folder.path()));  // a folder is no profile
    for (const SettingsKey& key : settingsKeys()) EXPECT_EQ(settings.*key.field, before.*key.field) << key.name;
}

TEST(EncodeSettings, AFifoOrADeviceIsRefusedNotRead) {
    test::TempFolder folder;
    const std::string fifo = folder / "preset.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EncodeSettings settings;
    settings.container = "before";
    auto loading = std::async(std::launch::async, [&] {
        const bool loaded = settings.loadProfile(fifo);
        return std::make_pair(loaded, readIniString(fifo, "SETTING", "container", "avi", kProfileValueBuffer));
    });
    const bool finished = loading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    // A reader stuck on the FIFO is released by a writer that closes at once, so the test ends.
    if (!finished) ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    EXPECT_TRUE(finished);
    const auto [loaded, container] = loading.get();
    EXPECT_FALSE(loaded);
    EXPECT_EQ(container, "avi");
    EXPECT_EQ(settings.container, "before");
    EXPECT_FALSE(settings.loadProfile("/dev/null"));
    EXPECT_FALSE(settings.loadProfile("/dev/zero"));
}

TEST(EncodeSettings, AssignCopiesEveryFieldIncludingTheProfilePath) {
    EncodeSettings source;
    int n = 0;
    for (const SettingsKey& key : settingsKeys()) source.*key.field = "value" + std::to_string(n++);
    EncodeSettings target;
    target.assignSettings(source);
    for (const SettingsKey& key : settingsKeys()) EXPECT_EQ(target.*key.field, source.*key.field) << key.name;
    EXPECT_EQ(target.profilePath, "value0");
}

}  // namespace
}  // namespace torvane
