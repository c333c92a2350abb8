#include "flashgrab/edit_text.h"

#include <cmath>

namespace flashgrab {

EditText readEditText(std::span<const std::uint8_t> body) {
    EditText field;
    BitReader in(body);
    field.bounds = readRect(in);
    int flags1 = in.u8();
    int flags2 = in.u8();
    field.wordWrap = flags1 & 0x40;
    field.multiline = flags1 & 0x20;
    field.border = flags2 & 0x08;
    field.background = field.border;
    field.html = flags2 & 0x02;
    field.useOutlines = flags2 & 0x01;
    if (flags1 & 0x01) field.fontId = in.u16();
    if (flags2 & 0x80) in.cstring();
    if (flags1 & 0x01) field.height = in.u16();
    if (flags1 & 0x04) field.color = readRgba(in);
    if (flags1 & 0x02) in.u16();
    if (flags2 & 0x20) {
        field.align = in.u8();
        field.leftMargin = in.u16();
        field.rightMargin = in.u16();
        field.indent = in.u16();
        field.leading = in.s16();
    }
    field.variable = in.cstring();
    if ((flags1 & 0x80) && in.ok()) field.text = in.cstring();
    return field;
}

FormattedText formattedText(const EditText& field, const std::map<int, Font>& fonts, int swfVersion) {
    TextFormat format;
    auto font = fonts.find(field.fontId);
    if (font != fonts.end()) {
        format.face = font->second.name;
        // HTML text starts plain whatever the field's font; its tags make it bold or italic.
        format.bold = !field.html && font->second.bold;
        format.italic = !field.html && font->second.italic;
    }
    format.size = field.height / 20;
    format.color = field.color;
    // An HTML field's own alignment holds only with text in movies of version 8 and later.
    format.align = field.html && (swfVersion < 8 || field.text.empty()) ? 0 : field.align;
    format.leftMargin = field.leftMargin / 20;
    format.rightMargin = field.rightMargin / 20;
    format.indent = std::nearbyint(field.indent / 20);
    format.leading = field.leading / 20;
    if (field.html) return parseHtmlText(field.text, format, field.multiline, swfVersion);
    return plainFormattedText(field.text, format, field.multiline);
}

}  // namespace flashgrab
