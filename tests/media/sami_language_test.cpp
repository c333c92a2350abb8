#include <gtest/gtest.h>

#include "media/sami_language.h"

namespace torvane {
namespace {

constexpr std::string_view kTwoLanguages =
    "<SAMI>\n<HEAD>\n<STYLE TYPE=\"text/css\">\n<!--\nP { margin-left:8pt; }\n"
    ".ENCC { Name:English; lang:en-US; SAMIType:CC; }\n"
    ".KRCC { Name:Korean; lang:ko-KR; SAMIType:CC; }\n-->\n</STYLE>\n</HEAD>\n<BODY>\n"
    "<SYNC Start=1000><P Class=ENCC>Hello\n"
    "<SYNC Start=1000><P Class=KRCC>안녕하세요\n"
    "<SYNC Start=3000><P class=\"ENCC\">&nbsp;\n"
    "<SYNC Start=3000><P Class=KRCC>&nbsp;\n"
    "</BODY>\n</SAMI>\n";

TEST(SamiLanguage, KeepsTheKoreanClassWhereverItStands) {
    EXPECT_EQ(chosenSamiClass(kTwoLanguages), "krcc");
    const std::string kept = keepOneSamiLanguage(kTwoLanguages);
    EXPECT_EQ(kept.find("Hello"), std::string::npos);
    EXPECT_NE(kept.find("<SYNC Start=1000><P Class=KRCC>안녕하세요"), std::string::npos);
    EXPECT_NE(kept.find("<SYNC Start=3000><P Class=KRCC>&nbsp;"), std::string::npos);
    // One SYNC a caption: the English ones went whole, the file still closes.
    EXPECT_EQ(kept.find("<SYNC Start=1000>"), kept.rfind("<SYNC Start=1000>"));
    EXPECT_TRUE(kept.ends_with("</BODY>\n</SAMI>\n"));
    EXPECT_NE(kept.find(".ENCC {"), std::string::npos);  // the style sheet is left alone
}

TEST(SamiLanguage, WithoutKoreanTheFirstDeclaredClassAndOneLanguageUntouched) {
    const std::string noKorean =
        "<SAMI><HEAD><STYLE><!-- .JPCC { lang:ja-JP; } .ENCC { lang:en-US; } --></STYLE>"
        "</HEAD><BODY><SYNC Start=0><P Class=ENCC>Hi<SYNC Start=0><P Class=JPCC>やあ"
        "<SYNC Start=900><P Class=ENCC>Bye</BODY></SAMI>";
    EXPECT_EQ(chosenSamiClass(noKorean), "jpcc");
    const std::string kept = keepOneSamiLanguage(noKorean);
    EXPECT_NE(kept.find("やあ"), std::string::npos);
    EXPECT_EQ(kept.find("Hi"), std::string::npos);
    EXPECT_EQ(kept.find("Bye"), std::string::npos);
    EXPECT_TRUE(kept.ends_with("</BODY></SAMI>"));

    // A class called KR… is Korean even when the style sheet says nothing; a file with one class
    // or none, or no SYNC at all, comes back byte for byte.
    EXPECT_EQ(chosenSamiClass("<SYNC Start=0><P Class=ENUSCC>a<SYNC Start=0><P Class=KRKRCC>가"), "krkrcc");
    for (const std::string_view text :
         {std::string_view("<SAMI><BODY><SYNC Start=0><P Class=KRCC>가</BODY></SAMI>"),
          std::string_view("<SAMI><BODY><SYNC Start=0><P>가<SYNC Start=500><P>나</BODY></SAMI>"),
          std::string_view("<P Class=A>x<P Class=B>y"), std::string_view("")}) {
        EXPECT_EQ(keepOneSamiLanguage(text), text);
    }
}

}  // namespace
}  // namespace torvane
