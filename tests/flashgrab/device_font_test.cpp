#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

#include "flashgrab/device_font.h"
#include "flashgrab/display_list.h"
#include "flashgrab/renderer.h"
#include "flashgrab/text_layout.h"
#include "support/test_support.h"
#include "swf_text_builder.h"

namespace flashgrab {
namespace {

using namespace flashgrab::test;

// What a region of an opaque drawing over white holds of a text colour.
struct Ink {
    int pixels = 0;                                    // pixels that are not white
    int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;  // the box of the pixels at least half the colour
    int offColour = 0;                                 // pixels that are no blend of white and the colour
};

Ink inkIn(cairo_surface_t* surface, int x0, int y0, int x1, int y1, Rgba colour) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    Ink ink;
    for (int y = y0; y < y1; ++y) {
        auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = x0; x < x1; ++x) {
            int channel[3] = {static_cast<int>(row[x] >> 16 & 0xFF), static_cast<int>(row[x] >> 8 & 0xFF),
                              static_cast<int>(row[x] & 0xFF)};
            int target[3] = {colour.r, colour.g, colour.b};
            if (channel[0] == 255 && channel[1] == 255 && channel[2] == 255) continue;
            ++ink.pixels;
            // How far from white towards the colour, read on the channel that moves most.
            int widest = 0;
            for (int c = 1; c < 3; ++c)
                if (255 - target[c] > 255 - target[widest]) widest = c;
            double t = (255.0 - channel[widest]) / (255.0 - target[widest]);
            for (int c = 0; c < 3; ++c)
                if (std::abs(channel[c] - (255 - t * (255 - target[c]))) > 3) ++ink.offColour;
            if (t >= 0.5) {
                ink.x0 = std::min(ink.x0, x);
                ink.y0 = std::min(ink.y0, y);
                ink.x1 = std::max(ink.x1, x);
                ink.y1 = std::max(ink.y1, y);
            }
        }
    }
    return ink;
}

// A movie's first frame, drawn at high quality; no renderer when the movie cannot be read.
struct FirstFrame {
    std::unique_ptr<Movie> movie;
    std::unique_ptr<Renderer> renderer;
};

FirstFrame drawFirstFrame(const std::vector<std::uint8_t>& bytes, int width, int height) {
    FirstFrame frame;
    auto file = parseSwf(bytes);
    if (!file || !(frame.movie = buildMovie(std::move(*file)))) return frame;
    frame.renderer = std::make_unique<Renderer>(*frame.movie, width, height, true);
    Player player(*frame.movie);
    player.advance();
    frame.renderer->render(player.root());
    return frame;
}

TEST(DeviceFonts, TextInFontsTheMovieDoesNotEmbedIsDrawnInItsColourAndSize) {
    // A 240x80 stage: "Hxg" in _sans, red, 20 pixels, at the top left; "한글" in 굴림 (a Korean font the
    // system does not have, named by the movie without glyphs), blue, 20 pixels, below it; a field of
    // spaces on the right. Each field is 120x40 pixels.
    Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
    auto bytes = test::movie(
        240, 80, 1,
        {fontNameOnly(1, "_sans"), fontNameOnly(2, "굴림"), editText(10, 1, 400, 255, 0, 0, "Hxg", 2400, 800),
         editText(11, 2, 400, 0, 0, 255, "한글", 2400, 800), editText(12, 2, 400, 0, 0, 0, "    ", 2400, 800),
         placeObject(1, 10, 0, 0), placeObject(2, 11, 0, 800), placeObject(3, 12, 2400, 0), showFrame()});
    FirstFrame frame = drawFirstFrame(bytes, 240, 80);
    ASSERT_TRUE(frame.renderer);
    cairo_surface_t* drawn = frame.renderer->surface();

    Ink latin = inkIn(drawn, 0, 0, 120, 40, red);
    EXPECT_GT(latin.pixels, 60) << "the Latin text is drawn";
    EXPECT_EQ(latin.offColour, 0) << "in the field's colour";
    // Its left side is past the 2-pixel gutter, and from the top of H to the bottom of g it is about an em.
    EXPECT_GE(latin.x0, 2);
    EXPECT_LE(latin.x0, 6);
    EXPECT_GE(latin.y0, 2);
    EXPECT_GE(latin.y1 - latin.y0 + 1, 15);
    EXPECT_LE(latin.y1 - latin.y0 + 1, 24);

    Ink hangul = inkIn(drawn, 0, 40, 120, 80, blue);
    EXPECT_GT(hangul.pixels, 60) << "the Hangul text is drawn with a font that has Hangul";
    EXPECT_EQ(hangul.offColour, 0);
    EXPECT_GE(hangul.y1 - hangul.y0 + 1, 12);
    EXPECT_LE(hangul.y1 - hangul.y0 + 1, 22);

    EXPECT_EQ(inkIn(drawn, 120, 0, 240, 80, blue).pixels, 0) << "spaces and the rest draw nothing";

    // Hangul in a Latin family comes from a font that has it, as the characters' own shapes, not a font's
    // box for a missing character: 한 is made of several strokes, and 한 and 글 differ.
    DeviceFonts fonts;
    std::vector<int> codes{0xD55C, 0xAE00};
    const Font* korean = fonts.font("_sans", false, false, codes);
    ASSERT_TRUE(korean);
    ASSERT_TRUE(korean->glyphOfCode.count(0xD55C) && korean->glyphOfCode.count(0xAE00));
    const ShapeGeometry& han = korean->glyphs[korean->glyphOfCode.at(0xD55C)];
    const ShapeGeometry& geul = korean->glyphs[korean->glyphOfCode.at(0xAE00)];
    ASSERT_EQ(han.layers.size(), 1u);
    EXPECT_GE(han.layers[0].fills[0].contours.size(), 3u);
    ASSERT_EQ(geul.layers.size(), 1u);
    EXPECT_NE(han.layers[0].fills[0].contours.size(), geul.layers[0].fills[0].contours.size());
}

TEST(DeviceFonts, StaticTextInAFontWithoutOutlinesIsDrawnAtItsRecordsPlaces) {
    // "Hxg" in a DefineFont named _sans by its DefineFontInfo, red, 20 pixels, the baseline 25 pixels down,
    // each glyph 15 pixels after the one before: at the top left of a 120x80 stage.
    Rgba red{255, 0, 0, 255};
    auto font = deviceFontForStaticText(1, "_sans", "Hxg");
    auto bytes = test::movie(
        120, 80, 1,
        {font, staticText(2, 1, 400, 255, 0, 0, 3, 300, 40, 500, 2000, 800), placeObject(1, 2, 0, 0), showFrame()});
    FirstFrame frame = drawFirstFrame(bytes, 120, 80);
    ASSERT_TRUE(frame.renderer);
    cairo_surface_t* drawn = frame.renderer->surface();

    Ink ink = inkIn(drawn, 0, 0, 120, 80, red);
    EXPECT_GT(ink.pixels, 60) << "the static text is drawn";
    EXPECT_EQ(ink.offColour, 0);
    // H starts at x = 2 pixels; g, the third glyph, starts 30 pixels later and reaches below the baseline.
    EXPECT_GE(ink.x0, 2);
    EXPECT_LE(ink.x0, 6);
    EXPECT_GE(ink.x1, 32 + 5);
    EXPECT_LE(ink.x1, 32 + 15);
    EXPECT_LE(ink.y0, 25 - 12) << "H rises about three quarters of an em above the baseline";
    EXPECT_GE(ink.y1, 25 + 2) << "g goes below it";
    EXPECT_LE(ink.y1, 25 + 7);
}

TEST(DeviceFonts, GenericNamesTakeTheirKindAndAFamilyIsFoundOnce) {
    DeviceFonts fonts;
    std::vector<int> codes{'i', 'W'};
    const Font* typewriter = fonts.font("_typewriter", false, false, codes);
    const Font* sans = fonts.font("_sans", false, false, codes);
    ASSERT_TRUE(typewriter && sans);
    auto advance = [](const Font* font, int code) { return font->advances[font->glyphOfCode.at(code)]; };
    EXPECT_EQ(advance(typewriter, 'i'), advance(typewriter, 'W')) << "_typewriter is monospaced";
    EXPECT_LT(advance(sans, 'i'), advance(sans, 'W')) << "_sans is proportional";
    EXPECT_EQ(fonts.font("_sans", false, false, codes), sans) << "the family is kept, not found again";
    EXPECT_GT(sans->ascent, 0);
    EXPECT_GT(sans->descent, 0);
}

// The first point and the number of edges of a glyph: enough to tell two fonts' drawings of it apart.
std::pair<Point, std::size_t> signature(const Font& font, int code) {
    const ShapeGeometry& glyph = font.glyphs[font.glyphOfCode.at(code)];
    std::size_t edges = 0;
    for (const Contour& contour : glyph.layers.at(0).fills.at(0).contours) edges += contour.size();
    return {glyph.layers[0].fills[0].contours.at(0).at(0).from, edges};
}

TEST(DeviceFonts, KoreanNamesTheSystemLacksTakeAKoreanFontOfTheirKind) {
    DeviceFonts fonts;
    std::vector<int> han{0xD55C};
    const Font* batang = fonts.font("바탕", false, false, han);  // a serif (myeongjo) font
    const Font* gulim = fonts.font("굴림", false, false, han);   // a sans-serif (gothic) one
    const Font* serif = fonts.font("_serif", false, false, han);
    const Font* sans = fonts.font("_sans", false, false, han);
    ASSERT_TRUE(batang && gulim && serif && sans);
    auto same = [](std::pair<Point, std::size_t> a, std::pair<Point, std::size_t> b) {
        return a.first.x == b.first.x && a.first.y == b.first.y && a.second == b.second;
    };
    EXPECT_FALSE(same(signature(*batang, 0xD55C), signature(*gulim, 0xD55C)));
    EXPECT_TRUE(same(signature(*batang, 0xD55C), signature(*serif, 0xD55C)))
        << "바탕 draws Hangul as Hangul in a serif family does";
    EXPECT_TRUE(same(signature(*gulim, 0xD55C), signature(*sans, 0xD55C)));
}

TEST(DeviceFonts, ItalicHangulFromAFontWithoutItalicsIsSlanted) {
    DeviceFonts fonts;
    std::vector<int> han{0xD55C};
    const Font* upright = fonts.font("굴림", false, false, han);
    const Font* italic = fonts.font("굴림", false, true, han);
    ASSERT_TRUE(upright && italic);
    auto [uprightStart, uprightEdges] = signature(*upright, 0xD55C);
    auto [italicStart, italicEdges] = signature(*italic, 0xD55C);
    EXPECT_EQ(uprightEdges, italicEdges) << "the same glyph";
    EXPECT_EQ(uprightStart.y, italicStart.y);
    // Above the baseline (y < 0), a slant to the right moves a point right by a fifth of its height.
    EXPECT_NEAR(italicStart.x - uprightStart.x, -0.2 * uprightStart.y, 1);
}

TEST(DeviceFonts, CharactersNoFontHasAreLeftOutAndTheOnesAfterThemStillFound) {
    DeviceFonts fonts;
    // A hundred private-use characters, which no system font draws, before one Hangul syllable.
    std::vector<int> codes;
    for (int code = 0xE000; code < 0xE000 + 100; ++code) codes.push_back(code);
    codes.push_back(0xD55C);
    const Font* font = fonts.font("_sans", false, false, codes);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->glyphOfCode.count(0xE000), 0u);
    EXPECT_EQ(font->glyphOfCode.count(0xD55C), 1u);
}

TEST(DeviceFonts, WithoutAnySystemFontTextIsLeftOutWithOneLine) {
    torvane::test::TempFolder folder;
    // A fontconfig configuration that knows no font folder.
    torvane::test::writeFile(folder / "fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" +
                                                        (folder / "cache") + "</cachedir></fontconfig>\n");
    DeviceFonts fonts(folder / "fonts.conf");
    std::vector<int> codes{'a', 0xD55C};
    testing::internal::CaptureStderr();
    EXPECT_EQ(fonts.font("_sans", false, false, codes), nullptr);
    EXPECT_EQ(fonts.font("굴림", true, false, codes), nullptr);

    std::map<int, Font> movieFonts;
    movieFonts[1].name = "_serif";
    EditText field;
    field.bounds = Rect{0, 2000, 0, 400};
    field.fontId = 1;
    field.text = "a한";
    EXPECT_TRUE(layoutText(formattedText(field, movieFonts, 10), field, movieFonts, 10, &fonts).empty());
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

}  // namespace
}  // namespace flashgrab
