#pragma once

#include <string>
#include <vector>

#include "flashgrab/swf_records.h"

namespace flashgrab {

// The formatting of one character of a text field. Sizes and margins in pixels, as HTML gives them.
struct TextFormat {
    std::string face;
    double size = 12;
    Rgba color{0, 0, 0, 255};
    bool bold = false, italic = false;
    double letterSpacing = 0;
    bool kerning = false;
    int align = 0;  // 0 left, 1 right, 2 centre, 3 justify
    double leftMargin = 0, rightMargin = 0, indent = 0, blockIndent = 0, leading = 0;
};

// A field's text as character codes, each with its format; '\r' ends a paragraph.
struct FormattedText {
    std::vector<int> chars;
    std::vector<TextFormat> formats;
};

// Text set without HTML: every character in the field's own format. A single-line field shows its line
// breaks as nothing.
FormattedText plainFormattedText(const std::string& text, const TextFormat& format, bool multiline);

// Flash's HTML subset: <p align>, <font face size color letterSpacing kerning>, <b>, <i>, <u>, <br>,
// <textformat> and entities; other tags are dropped with their text kept. A single-line field keeps no
// line breaks (movies before version 7 always do).
FormattedText parseHtmlText(const std::string& html, const TextFormat& base, bool multiline, int swfVersion);

// Decodes UTF-8 into code points; a byte that does not start a valid sequence stands for itself.
std::vector<int> codePoints(const std::string& text);

}  // namespace flashgrab
