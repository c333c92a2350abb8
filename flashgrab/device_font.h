#pragma once

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "flashgrab/font_text.h"

namespace flashgrab {

// The system's fonts for text that names a font the movie does not embed ("_sans", "_serif",
// "_typewriter" or a family such as "굴림"). Each family and style is looked up once through fontconfig;
// the glyphs of the characters a text uses are turned from FreeType outlines into the same Font that
// embedded fonts give, so layout and drawing take one path. A character the chosen font lacks (Hangul
// in a Latin font) comes from the font fontconfig finds for that character.
class DeviceFonts {
public:
    // configFile: a fontconfig configuration to use instead of the system's (tests); empty for the system's.
    explicit DeviceFonts(std::string configFile = {});
    ~DeviceFonts();
    DeviceFonts(const DeviceFonts&) = delete;
    DeviceFonts& operator=(const DeviceFonts&) = delete;

    // The font for face in the style, holding a glyph for every code of codes the system can draw;
    // nullptr when the system has no font at all (said once on stderr). The font lives as long as this
    // object; later calls only add glyphs to it.
    const Font* font(const std::string& face, bool bold, bool italic, std::span<const int> codes);

    // The glyphs of static text (character id) whose fonts have no outlines, taken at the same places from
    // the system's fonts of their names; the text's own glyphs when all its fonts have outlines. Made once.
    const std::vector<PlacedGlyph>& staticText(int id, const StaticText& text, const std::map<int, Font>& fonts);

private:
    struct Library;
    struct Family;
    Family* family(const std::string& face, bool bold, bool italic);
    void addGlyphs(Family& family, std::span<const int> codes);

    std::string configFile_;
    std::unique_ptr<Library> library_;  // fontconfig and FreeType, opened on first use
    std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<Family>> families_;
    std::map<int, std::optional<std::vector<PlacedGlyph>>> staticTexts_;  // nullopt: the text's own glyphs
};

}  // namespace flashgrab
