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

// A DefineFont of glyphs without outlines and the DefineFontInfo that names it and gives their codes
// (narrow, below 256): how movies hold a device font for static text.
inline std::vector<std::uint8_t> deviceFontForStaticText(int id, const std::string& name, const std::string& codes) {
    BitWriter font;
    font.u16(id);
    std::size_t count = codes.size();
    for (std::size_t i = 0; i < count; ++i) font.u16(static_cast<int>(2 * count + 2 * i));
    for (std::size_t i = 0; i < count; ++i) {
        font.u8(0x10);  // one fill bit, no line bits
        font.u8(0x00);  // end of shape
    }
    BitWriter info;
    info.u16(id);
    info.u8(static_cast<int>(name.size()));
    info.append(std::vector<std::uint8_t>(name.begin(), name.end()));
    info.u8(0);  // flags: narrow codes, neither bold nor italic
    info.append(std::vector<std::uint8_t>(codes.begin(), codes.end()));
    auto bytes = tag(10, font.bytes());
    auto second = tag(13, info.bytes());
    bytes.insert(bytes.end(), second.begin(), second.end());
    return bytes;
}

// A DefineText of one record: glyphs 0, 1, ... of a font, each advancing advanceTwips, the baseline at
// (x, y) twips; bounds in twips.
inline std::vector<std::uint8_t> staticText(int id, int fontId, int heightTwips, int r, int g, int b, int glyphCount,
                                            int advanceTwips, int x, int y, int widthTwips, int heightBoundsTwips) {
    BitWriter w;
    w.u16(id);
    rect(w, 0, widthTwips, 0, heightBoundsTwips);
    w.ub(1, 0);  // identity matrix: no scale, no rotation, no translation
    w.ub(1, 0);
    w.ub(5, 0);
    w.align();
    int glyphBits = 8, advanceBits = 16;
    w.u8(glyphBits);
    w.u8(advanceBits);
    w.u8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);  // a style record with font, colour, x and y
    w.u16(fontId);
    w.u8(r);
    w.u8(g);
    w.u8(b);
    w.u16(x);
    w.u16(y);
    w.u16(heightTwips);
    w.u8(glyphCount);
    for (int i = 0; i < glyphCount; ++i) {
        w.ub(glyphBits, static_cast<std::uint32_t>(i));
        w.sb(advanceBits, advanceTwips);
    }
    w.align();
    w.u8(0);  // end of records
    return tag(11, w.bytes());
}

}  // namespace flashgrab::test
