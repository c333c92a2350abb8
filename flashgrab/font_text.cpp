#include "flashgrab/font_text.h"

#include <algorithm>

namespace flashgrab {
namespace {

ShapeGeometry readGlyph(std::span<const std::uint8_t> data) {
    BitReader in(data);
    auto records = readShapeRecords(in, 1, nullptr);
    return buildGeometry(records, 1);
}

}  // namespace

Font readFont(int tagCode, std::span<const std::uint8_t> body) {
    Font font;
    BitReader in(body);
    std::vector<std::uint32_t> offsets;
    std::size_t tableStart = 0;
    std::uint32_t codeTableOffset = 0;
    bool wideCodes = false, hasLayout = false;
    if (tagCode == 10) {
        std::uint32_t first = in.u16();
        std::size_t count = first / 2;
        offsets.push_back(first);
        for (std::size_t i = 1; i < count && in.ok(); ++i) offsets.push_back(in.u16());
        codeTableOffset = static_cast<std::uint32_t>(body.size());
    } else {
        font.emSquare = tagCode == 75 ? 20480 : 1024;
        int flags = in.u8();
        hasLayout = (flags & 0x80) != 0;
        bool wideOffsets = (flags & 0x08) != 0;
        wideCodes = (flags & 0x04) != 0;
        font.italic = (flags & 0x02) != 0;
        font.bold = (flags & 0x01) != 0;
        in.u8();  // language
        auto name = in.bytes(in.u8());
        font.name.assign(name.begin(), name.end());
        // Writers end the name with a zero byte or not.
        font.name = font.name.substr(0, font.name.find('\0'));
        std::size_t count = in.u16();
        tableStart = in.position();
        for (std::size_t i = 0; i < count && in.ok(); ++i) offsets.push_back(wideOffsets ? in.u32() : in.u16());
        codeTableOffset = count > 0 || in.remaining() > 0 ? (wideOffsets ? in.u32() : in.u16()) : 0;
    }
    if (!in.ok()) return font;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        std::size_t start = tableStart + offsets[i];
        std::size_t end = i + 1 < offsets.size() ? tableStart + offsets[i + 1] : tableStart + codeTableOffset;
        end = std::min(end, body.size());
        if (start >= end) {
            font.glyphs.emplace_back();
            continue;
        }
        font.glyphs.push_back(readGlyph(body.subspan(start, end - start)));
    }
    if (tagCode != 10) {
        BitReader tail(body);
        tail.skip(tableStart + codeTableOffset);
        for (std::size_t i = 0; i < offsets.size() && tail.ok(); ++i) {
            int code = wideCodes ? tail.u16() : tail.u8();
            if (!tail.ok()) break;
            font.codes.push_back(code);
            font.glyphOfCode.emplace(code, static_cast<int>(i));
        }
        if (hasLayout && tail.ok()) {
            font.ascent = tail.u16();
            font.descent = tail.u16();
            font.leading = tail.s16();
            for (std::size_t i = 0; i < offsets.size() && tail.ok(); ++i) font.advances.push_back(tail.s16());
            font.hasLayout = tail.ok();
            for (std::size_t i = 0; i < offsets.size() && tail.ok(); ++i) {
                readRect(tail);
                tail.align();
            }
            int pairs = tail.u16();
            for (int i = 0; i < pairs && tail.ok(); ++i) {
                int left = wideCodes ? tail.u16() : tail.u8();
                int right = wideCodes ? tail.u16() : tail.u8();
                int adjustment = tail.s16();
                if (tail.ok()) font.kerning[{left, right}] = adjustment;
            }
        }
    }
    return font;
}

void readFontInfo(int tagCode, std::span<const std::uint8_t> body, Font& font) {
    BitReader in(body);
    auto name = in.bytes(in.u8());
    int flags = in.u8();
    if (tagCode == 62) in.u8();  // language
    if (!in.ok()) return;
    font.name.assign(name.begin(), name.end());
    font.name = font.name.substr(0, font.name.find('\0'));
    font.italic = (flags & 0x04) != 0;
    font.bold = (flags & 0x02) != 0;
    bool wideCodes = (flags & 0x01) != 0;
    font.codes.clear();
    font.glyphOfCode.clear();
    for (std::size_t i = 0; i < font.glyphs.size(); ++i) {
        int code = wideCodes ? in.u16() : in.u8();
        if (!in.ok()) break;
        font.codes.push_back(code);
        font.glyphOfCode.emplace(code, static_cast<int>(i));
    }
}

bool hasOutlines(const Font& font) {
    for (const ShapeGeometry& glyph : font.glyphs)
        for (const auto& layer : glyph.layers)
            for (const StyledPath& path : layer.fills)
                for (const Contour& contour : path.contours)
                    if (!contour.empty()) return true;
    return false;
}

StaticText readStaticText(int tagCode, std::span<const std::uint8_t> body, const std::map<int, Font>& fonts) {
    StaticText text;
    BitReader in(body);
    text.bounds = readRect(in);
    text.matrix = readMatrix(in);
    int glyphBits = in.u8();
    int advanceBits = in.u8();
    if (glyphBits > 32 || advanceBits > 32) return text;
    int fontId = 0;
    double height = 0, x = 0, y = 0;
    Rgba color;
    while (in.ok()) {
        int flags = in.u8();
        if (flags == 0 || !in.ok()) break;
        if (flags & 0x08) fontId = in.u16();
        if (flags & 0x04) color = tagCode == 33 ? readRgba(in) : readRgb(in);
        if (flags & 0x01) x = in.s16();
        if (flags & 0x02) y = in.s16();
        if (flags & 0x08) height = in.u16();
        int count = in.u8();
        auto font = fonts.find(fontId);
        double scale = height / (font != fonts.end() ? font->second.emSquare : 1024.0);
        for (int i = 0; i < count && in.ok(); ++i) {
            int glyph = static_cast<int>(in.ub(glyphBits));
            int advance = in.sb(advanceBits);
            if (!in.ok()) break;
            text.glyphs.push_back({fontId, glyph, Matrix{scale, 0, 0, scale, x, y}, color});
            x += advance;
        }
        in.align();
    }
    return text;
}

}  // namespace flashgrab
