#include <gtest/gtest.h>

#include "platform/ini_file.h"
#include "support/test_support.h"

namespace torvane {
namespace {

std::string get(const IniFile& file, std::string_view section, std::string_view key,
                std::string_view fallback = "<default>", std::size_t buffer = kProfileValueBuffer) {
    return file.getString(section, key, fallback, buffer);
}

TEST(IniFile, NamesMatchWithoutCaseAndBlanksAroundNamesAndValuesAreIgnored) {
    const IniFile file = IniFile::fromText(
        "[setting]\n"
        "  Video_Codec   =   xvid  \n"
        "\tvideo_bitrate\t=\t1200\t\n"
        "[ GENERAL ]\n"
        "info_subject=기본 AVI\n");
    EXPECT_EQ(get(file, "SETTING", "video_codec"), "xvid");
    EXPECT_EQ(get(file, "Setting", "VIDEO_BITRATE"), "1200");
    EXPECT_EQ(get(file, "general", "info_subject"), "기본 AVI");
    EXPECT_EQ(get(file, "SETTING", "info_subject"), "<default>");
}

TEST(IniFile, MissingThingsGiveTheDefaultButAnEmptyValueIsEmpty) {
    const IniFile file = IniFile::fromText(
        "[SETTING]\n"
        "video_bitrate=\n"
        "video_width\n"
        "audio_codec=mp3\n");
    EXPECT_EQ(get(file, "SETTING", "video_bitrate"), "");
    EXPECT_EQ(get(file, "SETTING", "video_width"), "<default>");  // a line without "="
    EXPECT_EQ(get(file, "SETTING", "missing"), "<default>");
    EXPECT_EQ(get(file, "NOSECTION", "audio_codec"), "<default>");
    EXPECT_EQ(get(IniFile::fromFile("/nonexistent/torvane/x.ini"), "SETTING", "audio_codec"), "<default>");
}

TEST(IniFile, WindowsReaderRulesForCommentsQuotesAndDuplicates) {
    const IniFile file = IniFile::fromText(
        "orphan=before any section\n"
        "[SETTING]\n"
        "; comment=not a key\n"
        "#hash=is a key\n"
        "plusparam=-vf x ; not a comment\n"
        "quoted=\"  padded  \"\n"
        "single='a'\n"
        "half=\"open\n"
        "mixed=\"a'\n"
        "dup=first\n"
        "dup=second\n"
        "[SETTING]\n"
        "later=in a second section of the same name\n");
    EXPECT_EQ(get(file, "SETTING", "comment"), "<default>");
    EXPECT_EQ(get(file, "SETTING", "; comment"), "not a key");
    EXPECT_EQ(get(file, "SETTING", "#hash"), "is a key");
    EXPECT_EQ(get(file, "SETTING", "plusparam"), "-vf x ; not a comment");
    EXPECT_EQ(get(file, "SETTING", "quoted"), "  padded  ");
    EXPECT_EQ(get(file, "SETTING", "single"), "a");
    EXPECT_EQ(get(file, "SETTING", "half"), "\"open");
    EXPECT_EQ(get(file, "SETTING", "mixed"), "\"a'");
    EXPECT_EQ(get(file, "SETTING", "dup"), "first");
    EXPECT_EQ(get(file, "SETTING", "later"), "<default>");
    EXPECT_EQ(get(file, "", "orphan"), "<default>");
}

TEST(IniFile, LineEndsAndEncodings) {
    const std::string body = "[GENERAL]\r\ninfo_subject=기본\r\ninfo_step1=line\r\n";
    EXPECT_EQ(get(IniFile::fromText(body), "GENERAL", "info_step1"), "line");
    EXPECT_EQ(get(IniFile::fromText("\xEF\xBB\xBF" + body), "GENERAL", "info_subject"), "기본");
    // The same file as written on Korean Windows: CP949 bytes, CRLF, no BOM.
    const std::string cp949 = "[GENERAL]\r\ninfo_subject=\xB1\xE2\xBA\xBB\r\n";
    EXPECT_EQ(get(IniFile::fromText(cp949), "GENERAL", "info_subject"), "기본");
    // A UTF-8 BOM directly before the first section header does not hide it.
    EXPECT_EQ(get(IniFile::fromText("\xEF\xBB\xBF[A]\nk=v"), "A", "k"), "v");
}

TEST(IniFile, ValuesAreCutAtTheBufferWithoutSplittingACharacter) {
    const std::string longValue(3000, 'x');
    const IniFile file = IniFile::fromText("[S]\nlong=" + longValue + "\nkorean=" + std::string("가나다") + "\n");
    EXPECT_EQ(get(file, "S", "long"), std::string(2047, 'x'));
    EXPECT_EQ(get(file, "S", "long", "", kCatalogueValueBuffer), std::string(1023, 'x'));
    EXPECT_EQ(get(file, "S", "long", "", kCodecValueBuffer), std::string(511, 'x'));
    // Nine bytes into an eight-byte buffer: seven bytes fit, so only two whole characters.
    EXPECT_EQ(get(file, "S", "korean", "", 8), "가나");
}

TEST(IniFile, ReadsFilesFromDisk) {
    test::TempFolder folder;
    test::writeFile(folder / "p.ini", "[SETTING]\r\ncontainer=mp4\r\n");
    EXPECT_EQ(readIniString(folder / "p.ini", "setting", "CONTAINER", "avi", kProfileValueBuffer), "mp4");
    EXPECT_EQ(readIniString(folder.path(), "setting", "container", "avi", kProfileValueBuffer), "avi");
}

}  // namespace
}  // namespace torvane
