#pragma once

#include <string>

#include "swf_builder.h"

namespace flashgrab::test {

// A DefineFont2 that is only a name, without glyphs: what movies hold for a device font ("_sans", "굴림").
inline std::vector<std::uint8_t> fontNameOnly(int id, const std::string& name) {
    BitWriter w;
    w.u16(id);
    w.u8(0);  // no layout, narrow offsets and codes, neither bold nor italic
    w.u8(0);  // language
    w.u8(static_cast<int>(name.size()));
    w.append(std::vector<std::uint8_t>(name.begin(), name.end()));
    w.u16(0);  // no glyphs
    w.u16(0);  // code table offset
    return tag(48, w.bytes());
}

// A read-only, multiline DefineEditText of plain UTF-8 text in a font, height and colour; bounds in twips.
// useOutlines draws it with the font's own glyphs, else with the system's font of the font's name.
inline std::vector<std::uint8_t> editText(int id, int fontId, int heightTwips, int r, int g, int b,
                                          const std::string& text, int widthTwips, int heightBoundsTwips,
                                          bool useOutlines = false) {
    BitWriter w;
    w.u16(id);
    rect(w, 0, widthTwips, 0, heightBoundsTwips);
    w.u8(0x80 | 0x20 | 0x08 | 0x04 | 0x01);  // has text, multiline, read-only, has colour, has font
    w.u8(0x10 | (useOutlines ? 0x01 : 0));   // not selectable
    w.u16(fontId);
    w.u16(heightTwips);
    w.u8(r);
    w.u8(g);
    w.u8(b);
    w.u8(255);
    w.u8(0);  // no variable name
    w.append(std::vector<std::uint8_t>(text.begin(), text.end()));
    w.u8(0);
    return tag(37, w.bytes());
}

}  // namespace flashgrab::test
