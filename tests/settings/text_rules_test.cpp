#include <gtest/gtest.h>

#include "settings/text_rules.h"

namespace torvane {
namespace {

TEST(TextRules, IsTruthyAcceptsExactlyTheEightSpellings) {
    for (const char* on : {"yes", "y", "YES", "Yes", "1", "on", "On", "ON"}) EXPECT_TRUE(isTruthy(on)) << on;
    for (const char* off : {"", "Y", "yES", " y", "y ", "n", "no", "true", "2", "oN", "01"}) {
        EXPECT_FALSE(isTruthy(off)) << off;
    }
}

TEST(TextRules, SplitListDropsEmptyPiecesAndKeepsBlanks) {
    using List = std::vector<std::string>;
    EXPECT_EQ(splitList("avi,,mp4,", ","), (List{"avi", "mp4"}));
    EXPECT_EQ(splitList("avi, mp4", ","), (List{"avi", " mp4"}));
    EXPECT_EQ(splitList("", ","), List{});
    EXPECT_EQ(splitList(",,,", ","), List{});
    EXPECT_EQ(splitList("한국어:cp949", ":"), (List{"한국어", "cp949"}));
    EXPECT_EQ(splitList("a;b,c", ",;"), (List{"a", "b", "c"}));
}

TEST(TextRules, LeadingIntegerReadsOnlyTheDigitsAtTheStart) {
    EXPECT_EQ(leadingInteger("1200"), 1200);
    EXPECT_EQ(leadingInteger("23.976"), 23);
    EXPECT_EQ(leadingInteger("-90"), -90);
    EXPECT_EQ(leadingInteger("+5px"), 5);
    EXPECT_EQ(leadingInteger("원본"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("99999999999999999999999"), std::numeric_limits<long long>::max());
}

}  // namespace
}  // namespace torvane
