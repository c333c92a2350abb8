#include <gtest/gtest.h>

#include "platform/text_encoding.h"

namespace torvane {
namespace {

// "기본" in CP949 and in UTF-8.
const std::string kBasicCp949 = "\xB1\xE2\xBA\xBB";
const std::string kBasicUtf8 = "기본";

TEST(TextEncoding, RecognisesWellFormedUtf8Only) {
    EXPECT_TRUE(isValidUtf8("plain ascii"));
    EXPECT_TRUE(isValidUtf8(kBasicUtf8));
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x8E\xAC"));  // a four-byte character
    EXPECT_FALSE(isValidUtf8(kBasicCp949));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(isValidUtf8("\xEA\xB8"));          // cut short
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
}

TEST(TextEncoding, DecodesEachKindOfFile) {
    EXPECT_EQ(decodeTextFile(kBasicCp949), kBasicUtf8);
    EXPECT_EQ(decodeTextFile(kBasicUtf8), kBasicUtf8);
    EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF" + kBasicUtf8), kBasicUtf8);
    EXPECT_EQ(decodeTextFile(std::string("\xFF\xFE\x30\xAE", 4)), "기");  // UTF-16LE U+AE30
    EXPECT_EQ(decodeTextFile(std::string("\xFE\xFF\xAE\x30", 4)), "기");  // UTF-16BE
}

TEST(TextEncoding, UndefinedCp949BytesBecomeReplacementCharactersWithoutLosingTheRest) {
    // 0xFF is no CP949 lead byte; the text on both sides of it survives.
    EXPECT_EQ(cp949ToUtf8("a\xFF" + kBasicCp949), "a\xEF\xBF\xBD" + kBasicUtf8);
    // A lead byte cut off at the end of the file.
    EXPECT_EQ(cp949ToUtf8(kBasicCp949 + "\xB1"), kBasicUtf8 + "\xEF\xBF\xBD");
}

TEST(TextEncoding, CutNeverSplitsACharacter) {
    const std::string text = "a기본";  // 1 + 3 + 3 bytes
    EXPECT_EQ(cutUtf8(text, 100), text);
    EXPECT_EQ(cutUtf8(text, 7), text);
    EXPECT_EQ(cutUtf8(text, 6), "a기");
    EXPECT_EQ(cutUtf8(text, 4), "a기");
    EXPECT_EQ(cutUtf8(text, 3), "a");
    EXPECT_EQ(cutUtf8(text, 1), "a");
    EXPECT_EQ(cutUtf8(text, 0), "");
}

}  // namespace
}  // namespace torvane
