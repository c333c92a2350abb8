#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "flashgrab/shape.h"

namespace flashgrab {

struct Font {
    double emSquare = 1024;  // glyph units per em: 1024 twips, or 20480 for DefineFont3
    std::vector<ShapeGeometry> glyphs;
    std::vector<int> codes;        // character code of each glyph
    std::vector<double> advances;  // glyph units; empty without layout
    double ascent = 0, descent = 0, leading = 0;
    bool hasLayout = false;
    std::map<int, int> glyphOfCode;  // filled from codes
    // How HTML text finds the font: by name and style.
    std::string name;
    bool bold = false, italic = false;
    // Advance adjustments in glyph units between two character codes.
    std::map<std::pair<int, int>, int> kerning;
    // System font outlines overlap where SWF glyphs do not, so they fill by the non-zero rule.
    bool windingFill = false;
};

// tagCode 10 (DefineFont), 48 (DefineFont2) or 75 (DefineFont3); body after the character id.
Font readFont(int tagCode, std::span<const std::uint8_t> body);

// tagCode 13 (DefineFontInfo) or 62 (DefineFontInfo2), body after the font id: the name, style and
// character codes of a DefineFont's glyphs.
void readFontInfo(int tagCode, std::span<const std::uint8_t> body, Font& font);

// Whether any glyph has an outline; a font without is a device font, only names and codes.
bool hasOutlines(const Font& font);

// One glyph drawn by a text character: glyph coordinates to character coordinates.
struct PlacedGlyph {
    int fontId = 0;
    int glyph = 0;
    Matrix matrix;
    Rgba color;
    const Font* deviceFont = nullptr;  // a system font's glyph, where fontId names none of the movie's
};

struct StaticText {
    Rect bounds;
    Matrix matrix;
    std::vector<PlacedGlyph> glyphs;  // matrix is applied on top of each glyph's own
};

// tagCode 11 (DefineText) or 33 (DefineText2); fonts give the em square of each font id.
StaticText readStaticText(int tagCode, std::span<const std::uint8_t> body, const std::map<int, Font>& fonts);

}  // namespace flashgrab
