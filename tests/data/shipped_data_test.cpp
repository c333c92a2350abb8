// Checks the catalogue, the default profile and every preset that ship in data/.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/ini_file.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/text_rules.h"
#include "support/test_support.h"

namespace torvane {
namespace {

std::string dataDir() {
    return test::sourceDir() + "/data";
}

bool containsHangul(std::string_view text) {
    // Hangul syllables U+AC00..U+D7A3 start with the UTF-8 lead bytes EA..ED.
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xEA && lead <= 0xED) return true;
    }
    return false;
}

FormatCatalogue loadShippedCatalogue() {
    FormatCatalogue catalogue;
    EXPECT_TRUE(catalogue.loadCatalogue(dataDir() + "/torvane.ini"));
    return catalogue;
}

std::vector<std::string> allPresetFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dataDir() + "/preset")) {
        if (!entry.is_directory()) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The profile's own settings must be ones its container can produce.
void expectProfileFitsCatalogue(const std::string& path, const FormatCatalogue& catalogue) {
    SCOPED_TRACE(path);
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(path));
    EXPECT_TRUE(IniFile::fromFile(path).find("GENERAL", "info_subject")) << "no display name of its own";
    EXPECT_TRUE(containsHangul(settings.info_subject)) << settings.info_subject;
    EXPECT_FALSE(settings.info_step1.empty());
    ASSERT_TRUE(catalogue.containers().contains(settings.container)) << settings.container;
    const ContainerEntry& container = catalogue.findContainer(settings.container);
    if (isTruthy(settings.video_use)) {
        EXPECT_TRUE(isTruthy(container.use_video)) << settings.container << " carries no video";
        EXPECT_TRUE(container.vcodecs.contains(settings.video_codec)) << settings.video_codec;
    }
    if (isTruthy(settings.audio_use)) {
        EXPECT_TRUE(isTruthy(container.use_audio)) << settings.container << " carries no audio";
        EXPECT_TRUE(container.acodecs.contains(settings.audio_codec)) << settings.audio_codec;
    }
    EXPECT_TRUE(isTruthy(settings.video_use) || isTruthy(settings.audio_use)) << "produces nothing";
}

TEST(ShippedData, CatalogueEntriesAreComplete) {
    const FormatCatalogue catalogue = loadShippedCatalogue();
    for (const char* name : {"aac", "ac3", "aiff", "caf", "flac", "m4a", "m4r", "mmf",  "mp3", "ogg",
                             "wav", "avi", "mp4",  "mkv", "mov",  "wmv", "flv", "webm", "3gp", "mpg"}) {
        EXPECT_TRUE(catalogue.containers().contains(name)) << name;
    }
    std::set<std::string> containerTitles;
    for (const std::string& name : catalogue.containerNames()) {
        SCOPED_TRACE(name);
        const ContainerEntry& entry = catalogue.findContainer(name);
        EXPECT_EQ(entry.kind, name);
        EXPECT_TRUE(containsHangul(entry.title)) << entry.title;
        EXPECT_TRUE(containerTitles.insert(entry.title).second) << "title used twice: " << entry.title;
        EXPECT_FALSE(entry.file_ext.empty());
        EXPECT_FALSE(entry.opt_of2.empty());
        EXPECT_TRUE(isTruthy(entry.use_video) || isTruthy(entry.use_audio));
        if (isTruthy(entry.use_video)) {
            EXPECT_TRUE(entry.vcodecs.contains(entry.default_vcodec)) << entry.default_vcodec;
        }
        if (isTruthy(entry.use_audio)) {
            EXPECT_TRUE(entry.acodecs.contains(entry.default_acodec)) << entry.default_acodec;
        }
        std::set<std::string> codecTitles;
        for (const auto& [codec, video] : entry.vcodecs) {
            EXPECT_EQ(video.kind, codec);
            EXPECT_FALSE(video.title.empty()) << codec;
            EXPECT_FALSE(video.param2.empty()) << codec;
            EXPECT_TRUE(codecTitles.insert(video.title).second) << "video title used twice: " << video.title;
        }
        codecTitles.clear();
        for (const auto& [codec, audio] : entry.acodecs) {
            EXPECT_EQ(audio.kind, codec);
            EXPECT_FALSE(audio.title.empty()) << codec;
            EXPECT_FALSE(audio.param2.empty()) << codec;
            EXPECT_TRUE(codecTitles.insert(audio.title).second) << "audio title used twice: " << audio.title;
        }
    }
    for (const char* charset : {"cp949", "utf-8", "euc-kr", "cp1252", "shift_jis", "gb18030", "big5"}) {
        EXPECT_TRUE(catalogue.subtitleCodepages().contains(charset)) << charset;
    }
}

TEST(ShippedData, EveryPresetAndTheDefaultProfileFitTheCatalogue) {
    const FormatCatalogue catalogue = loadShippedCatalogue();
    expectProfileFitsCatalogue(dataDir() + "/common_avi.ini", catalogue);
    const std::vector<std::string> presets = allPresetFiles();
    EXPECT_GE(presets.size(), 10u);
    for (const std::string& path : presets) expectProfileFitsCatalogue(path, catalogue);
}

TEST(ShippedData, TheThreeGroupsExist) {
    for (const char* group : {"+ 일반 파일변환", "특별기능", "기기설정"}) {
        const std::string path = dataDir() + "/preset/" + group;
        EXPECT_TRUE(std::filesystem::is_directory(path)) << path;
        bool hasPreset = false;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            hasPreset = hasPreset || !entry.is_directory();
        }
        EXPECT_TRUE(hasPreset) << group;
    }
}

}  // namespace
}  // namespace torvane
