#include "command/encoder_capabilities.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/user_folders.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "support/test_support.h"

namespace torvane {
namespace {

const EncoderCapabilities& installed() {
    static const EncoderCapabilities capabilities =
        queryEncoderCapabilities(findProgram("/nonexistent", "ffmpeg"), findProgram("/nonexistent", "mencoder"));
    return capabilities;
}

TEST(EncoderCapabilities, TheInstalledEncodersListWhatTheyCanDo) {
    const EncoderCapabilities& capabilities = installed();
    ASSERT_TRUE(capabilities.ffmpegFound);
    ASSERT_TRUE(capabilities.mencoderFound);
    for (const char* encoder : {"libx264", "libxvid", "aac", "libmp3lame", "libvorbis", "gif"}) {
        EXPECT_TRUE(capabilities.ffmpegEncoders.contains(encoder)) << encoder;
    }
    for (const char* muxer : {"mp4", "matroska", "webm", "avi", "mmf", "ipod"}) {
        EXPECT_TRUE(capabilities.ffmpegMuxers.contains(muxer)) << muxer;
    }
    for (const char* filter : {"scale", "pad", "crop", "overlay", "movie", "transpose"}) {
        EXPECT_TRUE(capabilities.ffmpegFilters.contains(filter)) << filter;
    }
    EXPECT_TRUE(capabilities.mencoderVideoCodecs.contains("xvid"));
    EXPECT_TRUE(capabilities.mencoderVideoCodecs.contains("lavc"));
    EXPECT_TRUE(capabilities.mencoderAudioCodecs.contains("mp3lame"));
    EXPECT_TRUE(capabilities.mencoderFormats.contains("lavf"));
    EXPECT_FALSE(capabilities.ffmpegEncoders.contains("Encoders:"));

    const EncoderCapabilities none = queryEncoderCapabilities("/nonexistent/ffmpeg", "");
    EXPECT_FALSE(none.ffmpegFound);
    EXPECT_FALSE(none.mencoderFound);
    EXPECT_EQ(ffmpegOptionProblems("-c:v libx264", none), std::vector<std::string>{"ffmpeg를 찾을 수 없습니다"});
}

TEST(EncoderCapabilities, OptionTextsNameWhatIsMissing) {
    const EncoderCapabilities& capabilities = installed();
    EXPECT_TRUE(
        ffmpegOptionProblems("-c:v libx264 -b:v {vbitrate}k -f mp4 -vf scale=2:2,pad=4:4", capabilities).empty());
    EXPECT_TRUE(ffmpegOptionProblems("-c:a copy -af \"[in] volume=2 [out]\"", capabilities).empty());
    EXPECT_EQ(ffmpegOptionProblems("-c:v libnosuch -f nosuchformat -vf scale=2:2,nosuchfilter=1", capabilities),
              (std::vector<std::string>{"ffmpeg: 인코더 libnosuch 없음", "ffmpeg: 포맷 nosuchformat 없음",
                                        "ffmpeg: 필터 nosuchfilter 없음"}));
    EXPECT_TRUE(mencoderOptionProblems("-ovc lavc -lavcopts vcodec=mpeg4:vbitrate={vbitrate} -of lavf -lavfopts "
                                       "format=mp4",
                                       capabilities)
                    .empty());
    EXPECT_EQ(mencoderOptionProblems("-ovc nosuch -oac lavc -lavcopts acodec=nosuchaudio -of nosuchof", capabilities),
              (std::vector<std::string>{"mencoder: -ovc nosuch 없음", "mencoder: lavc 인코더 nosuchaudio 없음",
                                        "mencoder: -of nosuchof 없음"}));
}

TEST(EncoderCapabilities, ThePresetsNeedOnlyWhatTheirEncoderHas) {
    test::TempFolder folder;
    test::writeFile(folder / "torvane.ini",
                    "[config]\ncontainer=mp4,odd\n"
                    "[container_mp4]\nopt_of2=-f mp4\nopt_of=-of lavf\nable_vcodec=h264,exotic\nable_acodec=aac\n"
                    "[container_odd]\nopt_of2=-f nosuchformat\nable_acodec=aac\n"
                    "[vcodec_h264]\nparam2=-c:v libx264\nparam=-ovc nosuch\n"
                    "[vcodec_exotic]\nparam2=-c:v libnosuch\n"
                    "[acodec_aac]\nparam2=-c:a aac\n");
    FormatCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadCatalogue(folder / "torvane.ini"));
    const auto marks = checkCatalogue(catalogue, installed());
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0].subject, "vcodec_exotic (mp4)");
    EXPECT_EQ(marks[1].subject, "vcodec_h264 (mp4)");
    EXPECT_EQ(marks[2].subject, "container_odd");

    EncodeSettings settings;
    test::writeFile(folder / "p.ini", "[SETTING]\ncontainer=mp4\nvideo_codec=h264\naudio_codec=aac\n");
    ASSERT_TRUE(settings.loadProfile(folder / "p.ini"));
    EXPECT_TRUE(presetProblems(settings, catalogue, installed()).empty());
    settings.eg = "m";  // forced to mencoder, which has no "-ovc nosuch"
    EXPECT_EQ(presetProblems(settings, catalogue, installed()), std::vector<std::string>{"mencoder: -ovc nosuch 없음"});
    settings.eg = "a";
    settings.video_codec = "vp9";
    EXPECT_EQ(presetProblems(settings, catalogue, installed()).front(), "포맷 mp4에 없는 비디오 코덱 vp9");
    settings.container = "nosuch";
    EXPECT_EQ(presetProblems(settings, catalogue, installed()), std::vector<std::string>{"목록에 없는 포맷 nosuch"});
}

TEST(EncoderCapabilities, NothingShippedIsMarked) {
    FormatCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadCatalogue(test::sourceDir() + "/data/torvane.ini"));
    for (const CatalogueMark& mark : checkCatalogue(catalogue, installed())) {
        ADD_FAILURE() << mark.subject << ": " << mark.problems.front();
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(test::sourceDir() + "/data/preset")) {
        if (entry.is_directory()) continue;
        EncodeSettings settings;
        ASSERT_TRUE(settings.loadProfile(entry.path().string()));
        for (const std::string& problem : presetProblems(settings, catalogue, installed())) {
            ADD_FAILURE() << entry.path() << ": " << problem;
        }
    }
}

}  // namespace
}  // namespace torvane
