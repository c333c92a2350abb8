#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "flashgrab/font_text.h"

namespace flashgrab {

struct EditText {
    Rect bounds;
    int fontId = -1;
    double height = 240;  // twips
    Rgba color{0, 0, 0, 255};
    bool wordWrap = false, multiline = false, html = false, border = false, useOutlines = false;
    int align = 0;  // 0 left, 1 right, 2 centre, 3 justify (drawn left)
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
    std::string text;
};

EditText readEditText(std::span<const std::uint8_t> body);

// Our HTML support is plain text: tags dropped, <br> and paragraph ends become line breaks, the common
// entities decoded. Formatting (font colours, sizes, faces) is not applied.
std::string plainTextOfHtml(const std::string& html);

// Lays the text out with the font's glyphs and advances, wrapping at the bounds when asked.
std::vector<PlacedGlyph> layoutEditText(const EditText& field, const Font& font);

}  // namespace flashgrab
