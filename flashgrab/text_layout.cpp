#include "flashgrab/text_layout.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

namespace flashgrab {
namespace {

// Tabs without tab stops advance to the next multiple of 36 pixels.
constexpr int kTabTwips = 36 * 20;

// Positions add up in 64 bits: a long text in a large font passes the range of an int.
using Twips = std::int64_t;

// Sizes and margins come from the movie's HTML and are kept to a sane range before truncating.
Twips twipsOf(double pixels) {
    return static_cast<Twips>(std::clamp(pixels, -1e9, 1e9) * 20);
}

bool sameFormat(const TextFormat& a, const TextFormat& b) {
    return a.face == b.face && a.size == b.size && a.color.r == b.color.r && a.color.g == b.color.g &&
           a.color.b == b.color.b && a.color.a == b.color.a && a.bold == b.bold && a.italic == b.italic &&
           a.letterSpacing == b.letterSpacing && a.kerning == b.kerning && a.align == b.align &&
           a.leftMargin == b.leftMargin && a.rightMargin == b.rightMargin && a.indent == b.indent &&
           a.blockIndent == b.blockIndent && a.leading == b.leading;
}

// A font at a size: Flash works in whole twips, truncating each scaled advance and metric.
struct SizedFont {
    int id = -1;
    const Font* font = nullptr;
    bool device = false;
    float scale = 0;  // glyph units to twips
    int letterSpacing = 0;
    bool kerning = false;

    int ascent() const { return font ? static_cast<int>(static_cast<float>(font->ascent) * scale) : 0; }
    int descent() const { return font ? static_cast<int>(static_cast<float>(font->descent) * scale) : 0; }
    std::optional<int> glyph(int code) const {
        if (!font) return std::nullopt;
        auto it = font->glyphOfCode.find(code);
        if (it == font->glyphOfCode.end() || it->second < 0) return std::nullopt;
        return it->second;
    }
    // The advance after code, which is followed by next (-1 for none); 0 for a character without a glyph.
    int advance(int code, int next) const {
        auto g = glyph(code);
        if (!g) return 0;
        int units = static_cast<std::size_t>(*g) < font->advances.size() ? static_cast<int>(font->advances[*g]) : 0;
        if (kerning && next >= 0) {
            auto k = font->kerning.find({code, next});
            if (k != font->kerning.end()) units += k->second;
        }
        return static_cast<int>(static_cast<float>(units) * scale) + letterSpacing;
    }
    // How many of the first characters fit in width, at most count - 1 (the whole word did not fit).
    std::size_t fittingPrefix(const int* chars, std::size_t count, Twips width) const {
        std::size_t fitting = 0;
        Twips x = 0, kernedWidth = 0;
        for (std::size_t cut = 1; cut < count; ++cut) {
            // The prefix of cut characters: its last one without kerning towards the one after it.
            int last = advance(chars[cut - 1], -1);
            Twips prefixWidth = glyph(chars[cut - 1]) ? std::max(kernedWidth, x + last) : kernedWidth;
            if (prefixWidth > width) break;
            fitting = cut;
            int step = advance(chars[cut - 1], chars[cut]);
            if (glyph(chars[cut - 1])) kernedWidth = std::max(kernedWidth, x + step);
            x += step;
        }
        return fitting;
    }
    // The width of the characters; past limit the measuring stops and some width beyond it is returned.
    Twips measure(const int* chars, std::size_t count, Twips limit = std::numeric_limits<Twips>::max()) const {
        Twips x = 0, width = 0;
        for (std::size_t i = 0; i < count && width <= limit; ++i) {
            int step = advance(chars[i], i + 1 < count ? chars[i + 1] : -1);
            if (glyph(chars[i])) width = std::max(width, x + step);
            x += step;
        }
        return width;
    }
};

bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

class Layout {
public:
    Layout(const FormattedText& text, const EditText& field, const std::map<int, Font>& fonts, int swfVersion,
           DeviceFonts* deviceFonts)
        : text_(text), field_(field), fonts_(fonts), deviceFonts_(deviceFonts), swf8_(swfVersion >= 8) {
        maxBounds_ = std::max<Twips>(0, Twips{field.bounds.xMax} - field.bounds.xMin - 2 * kTextGutter);
    }

    std::vector<PlacedGlyph> run() {
        std::size_t start = 0;
        const auto& formats = text_.formats;
        for (std::size_t i = 1; i <= formats.size(); ++i) {
            if (i < formats.size() && sameFormat(formats[i], formats[start])) continue;
            layOutSpan(start, i);
            start = i;
        }
        if (!formats.empty()) fixupLine(true);
        return std::move(glyphs_);
    }

private:
    struct Box {
        std::size_t start = 0, end = 0;
        SizedFont font;
        TextFormat format;
        Twips x = 0, y = 0, width = 0;
    };

    // The font of a span of text in the format; a device font is given the glyphs the span uses.
    SizedFont resolve(const TextFormat& format, std::size_t start, std::size_t end) const {
        const Font* found = nullptr;
        int foundId = -1;
        bool device = false;
        auto own = fonts_.find(field_.fontId);
        // A field without outlines shows every font through the system's; so does one whose font is only a name.
        if (deviceFonts_ && (!field_.useOutlines || own == fonts_.end() || own->second.glyphs.empty())) {
            std::string face = format.face.empty() && own != fonts_.end() ? own->second.name : format.face;
            found = deviceFonts_->font(face, format.bold, format.italic,
                                       std::span<const int>(text_.chars).subspan(start, end - start));
            device = true;
        }
        for (int pass = 0; pass < 2 && !found && !device; ++pass) {
            for (const auto& [id, font] : fonts_) {
                bool styleMatches = pass == 1 || (font.bold == format.bold && font.italic == format.italic);
                if (font.name == format.face && styleMatches && !font.glyphs.empty()) {
                    found = &font;
                    foundId = id;
                    break;
                }
            }
        }
        SizedFont sized;
        if (!found && !device) {
            if (own != fonts_.end()) {
                found = &own->second;
                foundId = own->first;
            }
        }
        sized.id = foundId;
        sized.font = found;
        sized.device = device;
        if (found && found->emSquare > 0)
            sized.scale = static_cast<float>(twipsOf(format.size)) / static_cast<float>(found->emSquare);
        sized.letterSpacing = static_cast<int>(twipsOf(std::clamp(format.letterSpacing, -1e4, 1e4)));
        sized.kerning = format.kerning && found && !found->kerning.empty();
        return sized;
    }

    Twips leftOffset(const TextFormat& format) const {
        double pixels = format.leftMargin + format.blockIndent + (firstLineOfParagraph_ ? format.indent : 0);
        return std::max<Twips>(0, twipsOf(pixels));
    }

    bool startOfLine() const { return boxes_.empty(); }

    void newSpan(const TextFormat& format) {
        // A line is as tall as its tallest run; its leading and alignment are those it starts with.
        Twips ascent = font_.ascent(), descent = font_.descent();
        if (startOfLine()) {
            lineFormat_ = format;
            maxAscent_ = ascent;
            maxDescent_ = descent;
        } else {
            maxAscent_ = std::max(maxAscent_, ascent);
            maxDescent_ = std::max(maxDescent_, descent);
        }
    }

    void layOutSpan(std::size_t start, std::size_t end) {
        const TextFormat& format = text_.formats[start];
        font_ = resolve(format, start, end);
        newSpan(format);
        std::size_t slice = start;
        while (slice <= end) {
            std::size_t sliceEnd = slice;
            while (sliceEnd < end && text_.chars[sliceEnd] != '\n' && text_.chars[sliceEnd] != '\r' &&
                   text_.chars[sliceEnd] != '\t')
                ++sliceEnd;
            if (slice > start) {
                int delimiter = text_.chars[slice - 1];
                if (delimiter == '\n' || delimiter == '\r') newline(true);
                if (delimiter == '\t') cursorX_ += kTabTwips - cursorX_ % kTabTwips;
            }
            layOutSlice(slice, sliceEnd, format);
            if (sliceEnd >= end) break;
            slice = sliceEnd + 1;
        }
    }

    void layOutSlice(std::size_t start, std::size_t end, const TextFormat& format) {
        std::size_t done = start;
        // A single-line field never wraps, whatever its word-wrap flag says.
        if (field_.wordWrap && field_.multiline) {
            std::vector<std::size_t> breaks = breakOpportunities(start, end);
            std::size_t nextBreak = 0;
            while (true) {
                Twips width = maxBounds_ - twipsOf(lineFormat_.rightMargin);
                Twips offset = leftOffset(format) + cursorX_;
                while (nextBreak < breaks.size() && breaks[nextBreak] <= done) ++nextBreak;
                auto breakAt = wrapLine(done, end, breaks, nextBreak, width, offset);
                if (!breakAt) break;
                if (*breakAt == done) {
                    newline(false);
                    if (done >= end) break;
                    continue;
                }
                appendText(done, *breakAt, format);
                done = *breakAt;
                if (done >= end) break;
                newline(false);
            }
        }
        if (done < end) appendText(done, end, format);
    }

    // Where lines may break within [start, end): before the character at each index returned.
    std::vector<std::size_t> breakOpportunities(std::size_t start, std::size_t end) const {
        std::vector<std::size_t> breaks;
        for (std::size_t i = start + 1; i < end; ++i) {
            int previous = text_.chars[i - 1], current = text_.chars[i];
            // From version 8 a run of spaces breaks after its last space only.
            if (swf8_ && current == ' ') continue;
            if (previous == ' ' || previous == '-' || (!swf8_ && current == '-')) breaks.push_back(i);
        }
        return breaks;
    }

    // Where the text from start must break to fit in width past offset: nullopt when it all fits, start
    // when nothing of it fits on this line. breaks[first...] are the break opportunities after start.
    // Each word is measured only as far as the line reaches.
    std::optional<std::size_t> wrapLine(std::size_t start, std::size_t end, const std::vector<std::size_t>& breaks,
                                        std::size_t first, Twips width, Twips offset) {
        if (start >= end) return std::nullopt;
        bool lineStart = startOfLine();
        Twips remaining = width - offset;
        if (remaining < 0) return swf8_ ? std::optional<std::size_t>(start + 1) : std::nullopt;
        const int* chars = text_.chars.data();
        std::size_t lineEnd = start, lastStop = start;
        for (std::size_t k = first; k <= breaks.size(); ++k) {
            std::size_t wordEnd = k < breaks.size() ? breaks[k] : end;
            std::size_t wordStart = lastStop;
            std::size_t trimmedEnd = wordEnd;
            if (swf8_) {
                while (trimmedEnd > wordStart && isSpace(chars[trimmedEnd - 1])) --trimmedEnd;
            } else if (trimmedEnd > wordStart && chars[trimmedEnd - 1] == ' ') {
                --trimmedEnd;
            }
            lastStop = trimmedEnd;
            Twips measure = font_.measure(chars + wordStart, trimmedEnd - wordStart, remaining);
            if (measure <= remaining) {
                lineEnd = wordEnd;
                lineStart = false;
                remaining -= measure;
                continue;
            }
            if (lineStart) {
                // A word wider than the line breaks after its last character that fits.
                std::size_t fitting = font_.fittingPrefix(chars + wordStart, trimmedEnd - wordStart, remaining);
                if (swf8_) {
                    fitting = std::max<std::size_t>(fitting, 1);
                } else if (fitting <= 1) {
                    return std::nullopt;
                }
                lineEnd = start + fitting;
            }
            return lineEnd;
        }
        return std::nullopt;
    }

    void appendText(std::size_t start, std::size_t end, const TextFormat& format) {
        if (start == end) return;
        if (format.align != 3) {
            appendFragment(start, end, format);
            return;
        }
        // Justified text is placed word by word: each word with the spaces after it is a box.
        std::size_t word = start;
        for (std::size_t i = start; i <= end; ++i) {
            if (i < end && text_.chars[i] != ' ') continue;
            std::size_t wordEnd = std::min(i + 1, end);
            if (wordEnd > word) appendFragment(word, wordEnd, format);
            word = wordEnd;
        }
    }

    void appendFragment(std::size_t start, std::size_t end, const TextFormat& format) {
        Box box;
        box.start = start;
        box.end = end;
        box.font = font_;
        box.format = format;
        box.width = font_.measure(text_.chars.data() + start, end - start);
        box.x = cursorX_;
        box.y = cursorY_ - font_.ascent();
        cursorX_ += box.width;
        boxes_.push_back(box);
    }

    void newline(bool endOfParagraph) {
        fixupLine(endOfParagraph);
        cursorX_ = 0;
        cursorY_ += maxAscent_ + maxDescent_ + twipsOf(lineFormat_.leading);
        firstLineOfParagraph_ = endOfParagraph;
        SizedFont lineFont = font_;
        lineFont.scale = font_.font && font_.font->emSquare > 0
                             ? static_cast<float>(twipsOf(lineFormat_.size)) / static_cast<float>(font_.font->emSquare)
                             : 0;
        maxAscent_ = lineFont.ascent();
        maxDescent_ = lineFont.descent();
    }

    void fixupLine(bool finalLineOfParagraph) {
        if (boxes_.empty()) return;
        Twips left = boxes_.front().x, right = left;
        for (Box& box : boxes_) {
            // Trailing spaces do not count when a line is aligned.
            if (swf8_ && lineFormat_.align != 0) {
                std::size_t trimmed = box.end;
                while (trimmed > box.start && isSpace(text_.chars[trimmed - 1])) --trimmed;
                box.width = box.font.measure(text_.chars.data() + box.start, trimmed - box.start);
            }
            left = std::min(left, box.x);
            right = std::max(right, box.x + box.width);
        }
        Twips leftAdjustment = leftOffset(lineFormat_);
        Twips misalignment = maxBounds_ - leftAdjustment - twipsOf(lineFormat_.rightMargin) - (right - left);
        Twips alignAdjustment = 0;
        if (lineFormat_.align == 2) alignAdjustment = misalignment / 2;
        if (lineFormat_.align == 1) alignAdjustment = misalignment;
        alignAdjustment = std::max<Twips>(alignAdjustment, 0);
        Twips between = 0;
        if (!finalLineOfParagraph && lineFormat_.align == 3)
            between = std::max<Twips>(0, misalignment / std::max<Twips>(static_cast<Twips>(boxes_.size()) - 1, 1));
        for (std::size_t i = 0; i < boxes_.size(); ++i) {
            Box& box = boxes_[i];
            Twips x = box.x + leftAdjustment + alignAdjustment + between * static_cast<Twips>(i);
            Twips baseline = box.y + maxAscent_ + box.font.ascent();
            emit(box, x, baseline);
        }
        boxes_.clear();
    }

    void emit(const Box& box, Twips x, Twips baseline) {
        const SizedFont& font = box.font;
        if (!font.font) return;
        double left = field_.bounds.xMin + kTextGutter, top = field_.bounds.yMin + kTextGutter;
        for (std::size_t i = box.start; i < box.end; ++i) {
            int code = text_.chars[i];
            int next = i + 1 < box.end ? text_.chars[i + 1] : -1;
            if (auto g = font.glyph(code))
                glyphs_.push_back({font.id, *g,
                                   Matrix{font.scale, 0, 0, font.scale, left + static_cast<double>(x),
                                          top + static_cast<double>(baseline)},
                                   box.format.color, font.device ? font.font : nullptr});
            x += font.advance(code, next);
        }
    }

    const FormattedText& text_;
    const EditText& field_;
    const std::map<int, Font>& fonts_;
    DeviceFonts* deviceFonts_;
    bool swf8_;
    Twips maxBounds_ = 0;
    Twips cursorX_ = 0, cursorY_ = 0;
    Twips maxAscent_ = 0, maxDescent_ = 0;
    bool firstLineOfParagraph_ = true;
    TextFormat lineFormat_;
    SizedFont font_;
    std::vector<Box> boxes_;
    std::vector<PlacedGlyph> glyphs_;
};

}  // namespace

std::vector<PlacedGlyph> layoutText(const FormattedText& text, const EditText& field, const std::map<int, Font>& fonts,
                                    int swfVersion, DeviceFonts* deviceFonts) {
    return Layout(text, field, fonts, swfVersion, deviceFonts).run();
}

}  // namespace flashgrab
