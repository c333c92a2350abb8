#include <gtest/gtest.h>

#include "settings/format_catalogue.h"
#include "support/test_support.h"

namespace torvane {
namespace {

using List = std::vector<std::string>;

class FormatCatalogueTest : public ::testing::Test {
protected:
    void load(const std::string& text) {
        test::writeFile(folder_ / "torvane.ini", text);
        ASSERT_TRUE(catalogue_.loadCatalogue(folder_ / "torvane.ini"));
    }
    test::TempFolder folder_;
    FormatCatalogue catalogue_;
};

TEST_F(FormatCatalogueTest, ReadsContainersWithTheirCodecs) {
    load(
        "[config]\n"
        "container=avi,,mp4,\n"
        "[container_avi]\nkind=avi\ntitle=AVI 파일\nfile_ext=avi\nopt_of=-of avi\nopt_of2=-f avi\nuse_video=y\n"
        "able_vcodec=xvid,h264\ndefault_vcodec=xvid\nuse_audio=y\nable_acodec=mp3\ndefault_acodec=mp3\n"
        "[container_mp4]\nkind=mp4\nable_vcodec=h264\nable_acodec=aac,nosection\n"
        "[vcodec_xvid]\nkind=xvid\ntitle=XviD\nparam2=-c:v libxvid -b:v {vbitrate}k\n"
        "able_bitrate=800,1200,,\nable_size=320x240,640x480\nable_framerate=23.976,25\n"
        "default_bitrate=1200\ndefault_size=640x480\ndefault_framerate=25\nid=7\n"
        "[vcodec_h264]\nkind=h264\ntitle=H.264\n"
        "[acodec_mp3]\nkind=mp3\nparam=-oac mp3lame\nable_srate=44100,48000\ndefault_srate=44100\n"
        "[acodec_aac]\nkind=aac\n");
    EXPECT_EQ(catalogue_.containerNames(), (List{"avi", "mp4"}));
    const ContainerEntry& avi = catalogue_.findContainer("avi");
    EXPECT_EQ(avi.title, "AVI 파일");
    EXPECT_EQ(avi.opt_of, "-of avi");
    EXPECT_EQ(avi.opt_of2, "-f avi");
    EXPECT_EQ(avi.vcodecList, (List{"xvid", "h264"}));
    EXPECT_EQ(avi.default_vcodec, "xvid");
    const VideoCodecEntry& xvid = avi.findVideoCodec("xvid");
    EXPECT_EQ(xvid.param2, "-c:v libxvid -b:v {vbitrate}k");
    EXPECT_EQ(xvid.bitrateList, (List{"800", "1200"}));
    EXPECT_EQ(xvid.sizeList, (List{"320x240", "640x480"}));
    EXPECT_EQ(xvid.framerateList, (List{"23.976", "25"}));
    EXPECT_EQ(xvid.id, "7");
    EXPECT_EQ(xvid.default_size, "640x480");
    EXPECT_EQ(avi.findAudioCodec("mp3").srateList, (List{"44100", "48000"}));
    // Codec sections are shared by name: each container has its own copy.
    EXPECT_EQ(catalogue_.findContainer("mp4").findVideoCodec("h264").title, "H.264");
    EXPECT_EQ(avi.findVideoCodec("h264").title, "H.264");
    // A codec listed without a section of its own is an empty entry.
    const AudioCodecEntry& missing = catalogue_.findContainer("mp4").findAudioCodec("nosection");
    EXPECT_EQ(missing.title, "");
    EXPECT_TRUE(missing.srateList.empty());
}

TEST_F(FormatCatalogueTest, UnknownNamesGiveEmptyEntries) {
    load("[config]\ncontainer=avi\n[container_avi]\ntitle=AVI\nable_vcodec=xvid\n");
    const ContainerEntry& unknown = catalogue_.findContainer("mkv");
    EXPECT_EQ(unknown.title, "");
    EXPECT_EQ(unknown.file_ext, "");
    EXPECT_TRUE(unknown.vcodecList.empty());
    EXPECT_TRUE(unknown.acodecs.empty());
    EXPECT_EQ(catalogue_.findContainer("AVI").title, "");  // lookups are case-sensitive
    EXPECT_EQ(catalogue_.findContainer("avi").findVideoCodec("h264").param2, "");
    EXPECT_EQ(catalogue_.containerNames(), List{"avi"});
}

TEST_F(FormatCatalogueTest, NamesKeepTheirBlanksAndDuplicatesStayInTheList) {
    load(
        "[config]\ncontainer=avi, mp4,avi\n[container_avi]\ntitle=AVI\n[container_ mp4]\ntitle=blank\n"
        "[container_mp4]\ntitle=MP4\n");
    EXPECT_EQ(catalogue_.containerNames(), (List{"avi", " mp4", "avi"}));
    EXPECT_EQ(catalogue_.containers().size(), 2u);
    // The INI reader ignores blanks around section names, so " mp4" reads [container_ mp4].
    EXPECT_EQ(catalogue_.findContainer(" mp4").title, "blank");
    EXPECT_EQ(catalogue_.findContainer("mp4").title, "");
}

TEST_F(FormatCatalogueTest, SubtitleCharacterSetsMapNameToLabel) {
    load("[config]\ncp=한국어:cp949,유니코드:utf-8,:orphan,nolabel,empty:,다시:cp949,a:b:c\n");
    const std::map<std::string, std::string> expected = {{"cp949", "다시"}, {"utf-8", "유니코드"}, {"b", "a"}};
    EXPECT_EQ(catalogue_.subtitleCodepages(), expected);
}

TEST_F(FormatCatalogueTest, ValuesAndSectionNamesHaveTheirLimits) {
    const std::string longName(250, 'c');  // "vcodec_" + 250 bytes is past the 127-byte limit
    load("[config]\ncontainer=avi\n[container_avi]\ntitle=" + std::string(1500, 't') + "\nable_vcodec=xvid," +
         longName + "\n[vcodec_xvid]\nparam=" + std::string(700, 'p') + "\n[vcodec_" + longName + "]\ntitle=long\n");
    const ContainerEntry& avi = catalogue_.findContainer("avi");
    EXPECT_EQ(avi.title.size(), 1023u);
    EXPECT_EQ(avi.findVideoCodec("xvid").param.size(), 511u);
    EXPECT_EQ(avi.findVideoCodec(longName).title, "");
}

TEST_F(FormatCatalogueTest, AMissingFileIsReported) {
    FormatCatalogue catalogue;
    EXPECT_FALSE(catalogue.loadCatalogue(folder_ / "missing.ini"));
    EXPECT_TRUE(catalogue.containerNames().empty());
}

}  // namespace
}  // namespace torvane
