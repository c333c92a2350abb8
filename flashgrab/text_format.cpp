#include "flashgrab/text_format.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <utility>

namespace flashgrab {
namespace {

constexpr int kNewline = '\r';

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Tag {
    std::string name;  // lower case
    bool closing = false, selfClosing = false;
    std::vector<std::pair<std::string, std::string>> attributes;  // names in lower case

    std::optional<std::string> attribute(const std::string& key) const {
        for (const auto& [attributeName, value] : attributes)
            if (attributeName == key) return value;
        return std::nullopt;
    }
};

Tag parseTag(const std::string& body) {
    Tag tag;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < body.size() && std::isspace(static_cast<unsigned char>(body[i]))) ++i;
    };
    skipBlanks();
    if (i < body.size() && body[i] == '/') {
        tag.closing = true;
        ++i;
    }
    std::size_t start = i;
    while (i < body.size() && !std::isspace(static_cast<unsigned char>(body[i])) && body[i] != '/') ++i;
    tag.name = lower(body.substr(start, i - start));
    while (i < body.size()) {
        skipBlanks();
        if (i >= body.size()) break;
        if (body[i] == '/') {
            tag.selfClosing = true;
            ++i;
            continue;
        }
        start = i;
        while (i < body.size() && body[i] != '=' && !std::isspace(static_cast<unsigned char>(body[i]))) ++i;
        std::string key = lower(body.substr(start, i - start));
        skipBlanks();
        std::string value;
        if (i < body.size() && body[i] == '=') {
            ++i;
            skipBlanks();
            if (i < body.size() && (body[i] == '"' || body[i] == '\'')) {
                char quote = body[i++];
                start = i;
                while (i < body.size() && body[i] != quote) ++i;
                value = body.substr(start, i - start);
                if (i < body.size()) ++i;
            } else {
                start = i;
                while (i < body.size() && !std::isspace(static_cast<unsigned char>(body[i]))) ++i;
                value = body.substr(start, i - start);
            }
        }
        if (!key.empty()) tag.attributes.emplace_back(key, value);
    }
    return tag;
}

std::string decodeEntities(const std::string& text) {
    static const std::pair<const char*, char> entities[] = {{"&lt;", '<'},   {"&gt;", '>'},    {"&amp;", '&'},
                                                            {"&quot;", '"'}, {"&apos;", '\''}, {"&nbsp;", ' '}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool found = false;
        if (text[i] == '&') {
            for (auto& [name, ch] : entities) {
                std::string n(name);
                if (text.compare(i, n.size(), n) == 0) {
                    out.push_back(ch);
                    i += n.size();
                    found = true;
                    break;
                }
            }
        }
        if (!found) out.push_back(text[i++]);
    }
    return out;
}

// A size of "+2" or "-2" is relative to the size in effect; digits after the first other character are
// ignored.
std::optional<double> htmlSize(const std::string& value, double current) {
    std::size_t i = 0;
    int sign = 0;
    if (!value.empty() && (value[0] == '+' || value[0] == '-')) {
        sign = value[0] == '+' ? 1 : -1;
        ++i;
    }
    std::size_t end = i;
    while (end < value.size() && std::isdigit(static_cast<unsigned char>(value[end]))) ++end;
    if (end == i || end - i > 9) return std::nullopt;
    double size = std::atof(value.substr(i, end - i).c_str());
    if (sign != 0) size = current + sign * size;
    return std::clamp(size, 1.0, 127.0);
}

std::optional<Rgba> htmlColor(const std::string& value) {
    if (value.empty() || value[0] != '#') return std::nullopt;
    std::size_t start = 1;
    while (start < value.size() && std::isspace(static_cast<unsigned char>(value[start]))) ++start;
    std::size_t end = start;
    while (end < value.size() && std::isxdigit(static_cast<unsigned char>(value[end]))) ++end;
    if (end == start) return std::nullopt;
    start = std::max(start, end >= 6 ? end - 6 : start);
    unsigned long rgb = std::strtoul(value.substr(start, end - start).c_str(), nullptr, 16);
    return Rgba{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                static_cast<std::uint8_t>(rgb), 255};
}

void applyOpening(const Tag& tag, TextFormat& format, int swfVersion) {
    auto number = [&](const char* key, double& out) {
        if (auto v = tag.attribute(key)) out = std::atof(v->c_str());
    };
    if (tag.name == "p") {
        if (auto align = tag.attribute("align")) {
            std::string a = lower(*align);
            if (a == "left") format.align = 0;
            if (a == "right") format.align = 1;
            if (a == "center") format.align = 2;
            if (a == "justify") format.align = 3;
        }
    } else if (tag.name == "font") {
        if (auto face = tag.attribute("face")) format.face = *face;
        if (auto size = tag.attribute("size"))
            if (auto value = htmlSize(*size, format.size)) format.size = *value;
        if (auto color = tag.attribute("color"))
            if (auto value = htmlColor(*color)) format.color = *value;
        number("letterspacing", format.letterSpacing);
        if (auto kerning = tag.attribute("kerning")) {
            // Kerning can be switched on from version 8 only.
            if (*kerning == "1" && swfVersion >= 8) format.kerning = true;
            if (*kerning == "0") format.kerning = false;
        }
    } else if (tag.name == "b") {
        format.bold = true;
    } else if (tag.name == "i") {
        format.italic = true;
    } else if (tag.name == "textformat") {
        number("leftmargin", format.leftMargin);
        number("rightmargin", format.rightMargin);
        number("indent", format.indent);
        number("blockindent", format.blockIndent);
        number("leading", format.leading);
    }
}

}  // namespace

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

FormattedText plainFormattedText(const std::string& text, const TextFormat& format, bool multiline) {
    FormattedText out;
    for (int c : codePoints(text)) {
        if (c == '\n') c = kNewline;
        if (c == kNewline && !multiline) continue;
        out.chars.push_back(c);
        out.formats.push_back(format);
    }
    return out;
}

FormattedText parseHtmlText(const std::string& html, const TextFormat& base, bool multiline, int swfVersion) {
    multiline = multiline || swfVersion <= 6;
    TextFormat defaults = base;
    if (swfVersion < 8) defaults.align = 0;
    FormattedText out;
    std::vector<std::pair<std::string, TextFormat>> open{{"", defaults}};
    bool paragraphOpen = false;
    std::optional<TextFormat> lastClosedFont;
    auto add = [&](int c, const TextFormat& format) {
        out.chars.push_back(c);
        out.formats.push_back(format);
    };
    for (std::size_t i = 0; i < html.size();) {
        if (html[i] != '<') {
            std::size_t end = std::min(html.find('<', i), html.size());
            std::string text = decodeEntities(html.substr(i, end - i));
            i = end;
            bool blank = std::all_of(text.begin(), text.end(),
                                     [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
            if (swfVersion <= 7 && blank) continue;
            for (int c : codePoints(text)) add(c == '\n' ? kNewline : c, open.back().second);
            continue;
        }
        std::size_t end = html.find('>', i);
        if (end == std::string::npos) break;
        Tag tag = parseTag(html.substr(i + 1, end - i - 1));
        i = end + 1;
        if (tag.name.empty() || tag.name[0] == '!' || tag.name[0] == '?') continue;
        if (!tag.closing) {
            if (tag.name == "br" || tag.name == "sbr") {
                if (multiline || tag.name == "sbr") add(kNewline, open.back().second);
                continue;
            }
            TextFormat format = open.back().second;
            if (tag.name == "p") paragraphOpen = true;
            applyOpening(tag, format, swfVersion);
            if (tag.selfClosing) continue;
            open.emplace_back(tag.name, format);
            continue;
        }
        // A closing tag that does not close the innermost open one is ignored.
        if (open.size() <= 1 || open.back().first != tag.name) continue;
        if (tag.name == "p" && multiline && paragraphOpen) {
            paragraphOpen = false;
            TextFormat format = open.back().second;
            const TextFormat& font = lastClosedFont ? *lastClosedFont : defaults;
            format.face = font.face;
            format.size = font.size;
            format.color = font.color;
            format.letterSpacing = font.letterSpacing;
            format.kerning = font.kerning;
            format.bold = format.italic = false;
            add(kNewline, format);
        } else if (tag.name == "font") {
            lastClosedFont = open.back().second;
        }
        open.pop_back();
    }
    return out;
}

}  // namespace flashgrab
