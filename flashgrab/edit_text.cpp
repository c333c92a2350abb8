#include "flashgrab/edit_text.h"

#include <algorithm>
#include <cctype>

namespace flashgrab {
namespace {

// The gutter Flash keeps between a field's bounds and its text.
constexpr double kGutter = 40;

// Decodes UTF-8 into code points; a byte that does not start a valid sequence stands for itself.
std::vector<int> codePoints(const std::string& text) {
    std::vector<int> out;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        int value = c & (0x3F >> extra);
        bool valid = extra > 0 && i + extra < text.size();
        for (std::size_t k = 1; k <= extra && valid; ++k) {
            unsigned char n = static_cast<unsigned char>(text[i + k]);
            valid = (n & 0xC0) == 0x80;
            value = (value << 6) | (n & 0x3F);
        }
        if (!valid) {
            out.push_back(c);
            ++i;
        } else {
            out.push_back(value);
            i += extra + 1;
        }
    }
    return out;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

EditText readEditText(std::span<const std::uint8_t> body) {
    EditText field;
    BitReader in(body);
    field.bounds = readRect(in);
    int flags1 = in.u8();
    int flags2 = in.u8();
    field.wordWrap = flags1 & 0x40;
    field.multiline = flags1 & 0x20;
    field.border = flags2 & 0x08;
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
    in.cstring();  // variable name
    if ((flags1 & 0x80) && in.ok()) field.text = in.cstring();
    if (field.html) field.text = plainTextOfHtml(field.text);
    return field;
}

std::string plainTextOfHtml(const std::string& html) {
    std::string out;
    bool paragraphOpen = false;
    for (std::size_t i = 0; i < html.size();) {
        if (html[i] == '<') {
            std::size_t end = html.find('>', i);
            if (end == std::string::npos) break;
            std::string tag = lower(html.substr(i + 1, end - i - 1));
            std::string name = tag.substr(0, tag.find_first_of(" /\t\n"));
            if (name == "br" || name == "br/") out.push_back('\n');
            if (name == "p" || name == "li") {
                if (paragraphOpen) out.push_back('\n');
                paragraphOpen = true;
            }
            i = end + 1;
        } else if (html[i] == '&') {
            static const std::pair<const char*, char> entities[] = {{"&lt;", '<'},   {"&gt;", '>'},    {"&amp;", '&'},
                                                                    {"&quot;", '"'}, {"&apos;", '\''}, {"&nbsp;", ' '}};
            bool found = false;
            for (auto& [name, ch] : entities) {
                std::string n(name);
                if (html.compare(i, n.size(), n) == 0) {
                    out.push_back(ch);
                    i += n.size();
                    found = true;
                    break;
                }
            }
            if (!found) out.push_back(html[i++]);
        } else {
            out.push_back(html[i++]);
        }
    }
    return out;
}

std::vector<PlacedGlyph> layoutEditText(const EditText& field, const Font& font) {
    std::vector<PlacedGlyph> glyphs;
    double scale = field.height / font.emSquare;
    auto advanceOf = [&](int glyph) {
        if (glyph >= 0 && static_cast<std::size_t>(glyph) < font.advances.size()) return font.advances[glyph] * scale;
        return field.height * 0.5;
    };
    // Split into lines at explicit breaks, then wrap words that do not fit.
    std::vector<std::vector<int>> lines(1);
    for (int c : codePoints(field.text)) {
        if (c == '\r' || c == '\n') {
            if (field.multiline || field.html) lines.emplace_back();
            continue;
        }
        lines.back().push_back(c);
    }
    double left = field.bounds.xMin + kGutter + field.leftMargin;
    double right = field.bounds.xMax - kGutter - field.rightMargin;
    double width = right - left;
    std::vector<std::vector<int>> wrapped;
    for (auto& line : lines) {
        // A single-line field never wraps, whatever its word-wrap flag says.
        if (!field.wordWrap || !field.multiline) {
            wrapped.push_back(line);
            continue;
        }
        std::vector<int> current;
        double x = 0;
        std::size_t lastSpace = 0;
        for (int c : line) {
            auto it = font.glyphOfCode.find(c);
            double adv = it != font.glyphOfCode.end() ? advanceOf(it->second) : field.height * 0.5;
            if (x + adv > width && !current.empty() && c != ' ') {
                std::vector<int> carry;
                if (lastSpace > 0) {
                    carry.assign(current.begin() + static_cast<long>(lastSpace), current.end());
                    current.resize(lastSpace);
                }
                wrapped.push_back(current);
                current = carry;
                x = 0;
                for (int k : current) {
                    auto g = font.glyphOfCode.find(k);
                    x += g != font.glyphOfCode.end() ? advanceOf(g->second) : field.height * 0.5;
                }
                lastSpace = 0;
            }
            current.push_back(c);
            x += adv;
            if (c == ' ') lastSpace = current.size();
        }
        wrapped.push_back(current);
    }
    double lineHeight = (font.ascent + font.descent) * scale + field.leading;
    double baseline = field.bounds.yMin + kGutter + font.ascent * scale;
    for (std::size_t n = 0; n < wrapped.size(); ++n) {
        const auto& line = wrapped[n];
        double lineWidth = 0;
        for (int c : line) {
            auto it = font.glyphOfCode.find(c);
            lineWidth += it != font.glyphOfCode.end() ? advanceOf(it->second) : field.height * 0.5;
        }
        double x = left + (n == 0 ? field.indent : 0);
        if (field.align == 1) x = right - lineWidth;
        if (field.align == 2) x = left + (width - lineWidth) / 2;
        for (int c : line) {
            auto it = font.glyphOfCode.find(c);
            if (it == font.glyphOfCode.end()) {
                x += field.height * 0.5;
                continue;
            }
            glyphs.push_back({field.fontId, it->second, Matrix{scale, 0, 0, scale, x, baseline}, field.color});
            x += advanceOf(it->second);
        }
        baseline += lineHeight;
    }
    return glyphs;
}

}  // namespace flashgrab
