#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "flashgrab/font_text.h"
#include "flashgrab/text_format.h"

namespace flashgrab {

struct EditText {
    Rect bounds;
    int fontId = -1;
    double height = 240;  // twips
    Rgba color{0, 0, 0, 255};
    bool wordWrap = false, multiline = false, html = false, border = false, useOutlines = false;
    bool background = false;  // the tag's border flag draws both; scripts set them apart
    Rgba backgroundColor{255, 255, 255, 255}, borderColor{0, 0, 0, 255};
    int align = 0;  // 0 left, 1 right, 2 centre, 3 justify (drawn left)
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
    std::string text;      // HTML when html is set
    std::string variable;  // the script variable the field shows, if bound to one
};

// The padding Flash keeps between a field's bounds and its text, in twips.
inline constexpr int kTextGutter = 40;

EditText readEditText(std::span<const std::uint8_t> body);

// The field's text with its formats: its HTML read, or its plain text in the field's own format.
FormattedText formattedText(const EditText& field, const std::map<int, Font>& fonts, int swfVersion);

}  // namespace flashgrab
