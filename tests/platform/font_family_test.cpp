#include "platform/font_family.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace torvane {
namespace {

// The Hangul fonts the program ships with (Debian's fonts-nanum) name themselves as fontconfig
// reads them; a cut or foreign file names nothing and breaks nothing.
TEST(FontFamily, ReadsTheNameAFontGivesItself) {
    const std::string folder = "/usr/share/fonts/truetype/nanum";
    if (!std::filesystem::exists(folder + "/NanumGothic.ttf")) GTEST_SKIP() << "fonts-nanum is not installed";
    EXPECT_EQ(fontFamilyName(folder + "/NanumGothic.ttf"), "NanumGothic");
    EXPECT_EQ(fontFamilyName(folder + "/NanumMyeongjo.ttf"), "NanumMyeongjo");

    test::TempFolder temp;
    const std::string whole = test::readFile(folder + "/NanumGothic.ttf");
    for (const std::size_t cut : {0u, 5u, 12u, 200u, 4000u}) {
        test::writeFile(temp / "cut.ttf", whole.substr(0, cut));
        EXPECT_EQ(fontFamilyName(temp / "cut.ttf"), "") << cut;
    }
    test::writeFile(temp / "text.ttf", "name name name name name name name");
    EXPECT_EQ(fontFamilyName(temp / "text.ttf"), "");
    EXPECT_EQ(fontFamilyName(temp / "missing.ttf"), "");
}

}  // namespace
}  // namespace torvane
