#include <gtest/gtest.h>

#include <string>

#include "flashgrab/text_layout.h"

namespace flashgrab {
namespace {

TEST(HtmlText, TagsNestAndStrayClosingTagsChangeNothing) {
    TextFormat base;
    base.face = "Base";
    base.size = 10;
    std::string html = "<p align='center'><font face=\"Other\" size=\"+2\" color=\"#FF0000\">x<b>y</b></font></i>z</p>";
    FormattedText text = parseHtmlText(html, base, true, 10);
    ASSERT_EQ(text.chars, (std::vector<int>{'x', 'y', 'z', '\r'}));
    EXPECT_EQ(text.formats[0].face, "Other");
    EXPECT_EQ(text.formats[0].size, 12);
    EXPECT_EQ(text.formats[0].color.r, 255);
    EXPECT_EQ(text.formats[0].align, 2);
    EXPECT_FALSE(text.formats[0].bold);
    EXPECT_TRUE(text.formats[1].bold);
    // </i> closes nothing that is open; </font> does, back to the paragraph's format.
    EXPECT_EQ(text.formats[2].face, "Base");
    EXPECT_EQ(text.formats[2].size, 10);
    EXPECT_EQ(text.formats[2].align, 2);

    EXPECT_EQ(parseHtmlText(html, base, false, 10).chars, (std::vector<int>{'x', 'y', 'z'}))
        << "a single-line field keeps no paragraph end";
    EXPECT_FALSE(parseHtmlText("<font kerning='1'>k</font>", base, true, 7).formats[0].kerning)
        << "kerning needs version 8";
    EXPECT_EQ(parseHtmlText("a &lt;b&gt; &amp;<unclosed", base, true, 10).chars,
              (std::vector<int>{'a', ' ', '<', 'b', '>', ' ', '&'}));
}

// A font of two glyphs: 'a' half an em wide and a space a quarter em wide.
std::map<int, Font> testFonts() {
    Font font;
    font.name = "T";
    font.glyphs.resize(2);
    font.codes = {'a', ' '};
    font.glyphOfCode = {{'a', 0}, {' ', 1}};
    font.advances = {512, 256};
    font.ascent = 800;
    font.descent = 200;
    font.hasLayout = true;
    return {{1, font}};
}

EditText wrappingField(int innerWidthTwips) {
    EditText field;
    field.bounds = Rect{0, innerWidthTwips + 80, 0, 2000};
    field.fontId = 1;
    field.height = 200;  // 'a' advances 100 twips, a space 50
    field.wordWrap = field.multiline = true;
    return field;
}

TEST(TextLayout, LinesBreakAfterSpacesAndLongWordsAreCutQuickly) {
    auto fonts = testFonts();
    EditText field = wrappingField(400);
    field.text = "aaa aaa";
    auto glyphs = layoutText(formattedText(field, fonts, 10), field, fonts, 10);
    ASSERT_EQ(glyphs.size(), 7u);
    EXPECT_EQ(glyphs[0].matrix.ty, glyphs[3].matrix.ty) << "the space stays on the first line";
    EXPECT_GT(glyphs[4].matrix.ty, glyphs[0].matrix.ty);
    EXPECT_EQ(glyphs[4].matrix.tx, 40) << "the second line starts at the gutter";
    EXPECT_EQ(glyphs[5].matrix.tx, 140);

    // One word far wider than the field is cut where it no longer fits, line after line, without
    // measuring the rest of the word again for every line.
    field.text = std::string(200000, 'a');
    glyphs = layoutText(formattedText(field, fonts, 10), field, fonts, 10);
    ASSERT_EQ(glyphs.size(), 200000u);
    EXPECT_EQ(glyphs[4].matrix.tx, 40);
    EXPECT_GT(glyphs.back().matrix.ty, glyphs.front().matrix.ty);
}

}  // namespace
}  // namespace flashgrab
