#include "flashgrab/device_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdio>
#include <set>
#include <vector>

#include "flashgrab/text_format.h"

namespace flashgrab {
namespace {

// Device glyphs are kept in the units of DefineFont2, whatever the system font's own em.
constexpr double kEmSquare = 1024;

// A fontconfig look-up costs a third of a millisecond; after this many in a family that found no font for
// a character some font claims, its characters come from the fonts found so far or are left out.
constexpr int kMaxFruitlessLookups = 64;

// Movies name a few fonts; past this many families and styles (each a look-up and perhaps a file), a new
// name is drawn as "_sans" is.
constexpr std::size_t kMaxFamilies = 64;

// Flash's names for the generic device fonts, in English and in the Japanese versions of the authoring tool.
std::string fontconfigFamily(const std::string& face) {
    if (face == "_sans" || face == "_ゴシック") return "sans-serif";
    if (face == "_serif" || face == "_明朝" || face.empty()) return "serif";
    if (face == "_typewriter" || face == "_等幅") return "monospace";
    return face;
}

bool isHangul(int code) {
    return (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0x1100 && code <= 0x11FF) ||
           (code >= 0x3130 && code <= 0x318F);
}

// A font file as fontconfig matched it: the face, and the bold and slant it must add itself.
struct Source {
    FT_Face face = nullptr;
    bool embolden = false;
    bool oblique = false;
    bool named = false;  // the font is of the family asked for, not a stand-in
};

// The Korean system fonts of the other platforms that movies name, by the kind that stands in for them.
std::string koreanStandIn(const std::string& face) {
    for (const char* serif : {"바탕", "바탕체", "궁서", "궁서체", "Batang", "BatangChe", "Gungsuh", "GungsuhChe"})
        if (face == serif) return "serif";
    for (const char* sans :
         {"굴림", "굴림체", "돋움", "돋움체", "맑은 고딕", "Gulim", "GulimChe", "Dotum", "DotumChe", "Malgun Gothic"})
        if (face == sans) return "sans-serif";
    return {};
}

// Collects an outline's contours in glyph units, y pointing down as in SWF glyphs.
struct OutlineSink {
    double scale = 1;
    double shear = 0;  // x moved by shear * y (font units, y up) for a synthetic oblique
    std::vector<Contour> contours;
    Point pen;

    Point at(const FT_Vector* v) const {
        double x = static_cast<double>(v->x), y = static_cast<double>(v->y);
        return {(x + shear * y) * scale, -y * scale};
    }
    void line(Point to) {
        if (!contours.empty()) contours.back().push_back({pen, to, to, false});
        pen = to;
    }
    void quad(Point control, Point to) {
        if (!contours.empty()) contours.back().push_back({pen, control, to, true});
        pen = to;
    }
};

int moveTo(const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    sink->contours.emplace_back();
    sink->pen = sink->at(to);
    return 0;
}

int lineTo(const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    sink->line(sink->at(to));
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    sink->quad(sink->at(control), sink->at(to));
    return 0;
}

// A cubic (CFF fonts) becomes four quadratics, each with the control point that matches its piece's ends.
int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    Point p0 = sink->pen, p1 = sink->at(control1), p2 = sink->at(control2), p3 = sink->at(to);
    auto point = [&](double t) {
        double u = 1 - t;
        return Point{u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                     u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y};
    };
    auto tangent = [&](double t) {
        double u = 1 - t;
        return Point{3 * u * u * (p1.x - p0.x) + 6 * u * t * (p2.x - p1.x) + 3 * t * t * (p3.x - p2.x),
                     3 * u * u * (p1.y - p0.y) + 6 * u * t * (p2.y - p1.y) + 3 * t * t * (p3.y - p2.y)};
    };
    constexpr int kPieces = 4;
    for (int i = 0; i < kPieces; ++i) {
        double t0 = static_cast<double>(i) / kPieces, t1 = static_cast<double>(i + 1) / kPieces;
        Point a = point(t0), b = point(t1), da = tangent(t0), db = tangent(t1);
        double h = (t1 - t0) / 2;
        // The midpoint of the two tangent estimates of the control point.
        Point control{(a.x + da.x * h + b.x - db.x * h) / 2, (a.y + da.y * h + b.y - db.y * h) / 2};
        sink->quad(control, b);
    }
    return 0;
}

}  // namespace

struct DeviceFonts::Library {
    FcConfig* config = nullptr;
    FT_Library freetype = nullptr;
    bool usable = false;
    bool reported = false;
    std::map<std::pair<std::string, int>, FT_Face> faces;
    FcCharSet* everyCharacter = nullptr;  // of all the fonts, made on first need

    explicit Library(const std::string& configFile) {
        if (configFile.empty()) {
            config = FcInitLoadConfigAndFonts();
        } else {
            config = FcConfigCreate();
            if (config &&
                (!FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(configFile.c_str()), FcTrue) ||
                 !FcConfigBuildFonts(config))) {
                FcConfigDestroy(config);
                config = nullptr;
            }
        }
        usable = config != nullptr && FT_Init_FreeType(&freetype) == 0;
    }
    ~Library() {
        if (everyCharacter) FcCharSetDestroy(everyCharacter);
        for (auto& [key, face] : faces)
            if (face) FT_Done_Face(face);
        if (freetype) FT_Done_FreeType(freetype);
        if (config) FcConfigDestroy(config);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    void reportMissing(const std::string& face) {
        if (reported) return;
        reported = true;
        std::fprintf(stderr, "flashgrab: no system font for \"%s\"; text in device fonts is not drawn\n", face.c_str());
    }

    // Whether any font has the character: one that none has is not looked up font by font.
    bool anyFontHas(int code) {
        if (!usable || code < 0) return false;
        if (!everyCharacter) {
            everyCharacter = FcCharSetCreate();
            if (!everyCharacter) return false;
            for (FcSetName set : {FcSetSystem, FcSetApplication}) {
                FcFontSet* fonts = FcConfigGetFonts(config, set);
                for (int i = 0; fonts && i < fonts->nfont; ++i) {
                    FcCharSet* chars = nullptr;
                    if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &chars) == FcResultMatch)
                        FcCharSetMerge(everyCharacter, chars, nullptr);
                }
            }
        }
        return FcCharSetHasChar(everyCharacter, static_cast<FcChar32>(code));
    }

    // A file is opened once, however many families and styles it serves.
    FT_Face open(const std::string& path, int index) {
        auto [it, added] = faces.try_emplace({path, index}, nullptr);
        if (added) {
            FT_Face face = nullptr;
            if (FT_New_Face(freetype, path.c_str(), index, &face) == 0) {
                if (FT_IS_SCALABLE(face) && face->units_per_EM > 0)
                    it->second = face;
                else
                    FT_Done_Face(face);
            }
        }
        return it->second;
    }

    // The font fontconfig chooses for the family and style, and for code when it is not negative.
    Source match(const std::string& family, bool bold, bool italic, bool korean, int code) {
        Source source;
        if (!usable) return source;
        FcPattern* pattern = FcPatternCreate();
        if (!pattern) return source;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
        if (korean) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ko"));
        if (code >= 0) {
            FcCharSet* chars = FcCharSetCreate();
            if (chars) {
                FcCharSetAddChar(chars, static_cast<FcChar32>(code));
                FcPatternAddCharSet(pattern, FC_CHARSET, chars);
                FcCharSetDestroy(chars);
            }
        }
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* found = FcFontMatch(config, pattern, &result);
        FcPatternDestroy(pattern);
        if (!found) return source;
        FcChar8* file = nullptr;
        int index = 0;
        FcBool embolden = FcFalse;
        if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file) {
            FcPatternGetInteger(found, FC_INDEX, 0, &index);
            source.face = open(reinterpret_cast<const char*>(file), index);
            FcPatternGetBool(found, FC_EMBOLDEN, 0, &embolden);
            source.embolden = embolden == FcTrue;
            // fontconfig marks an upright font given for italic as oblique; the face itself tells.
            source.oblique = italic && source.face && !(source.face->style_flags & FT_STYLE_FLAG_ITALIC);
            FcChar8* name = nullptr;
            for (int i = 0; !source.named && FcPatternGetString(found, FC_FAMILY, i, &name) == FcResultMatch; ++i)
                source.named = name && FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0;
        }
        FcPatternDestroy(found);
        return source;
    }
};

struct DeviceFonts::Family {
    std::string fontconfigName;
    bool bold = false, italic = false, korean = false;
    Source primary;
    std::vector<Source> fallbacks;
    std::set<int> missing;
    int fruitlessLookups = 0;
    Font font;
};

DeviceFonts::DeviceFonts(std::string configFile) : configFile_(std::move(configFile)) {}

DeviceFonts::~DeviceFonts() = default;

DeviceFonts::Family* DeviceFonts::family(const std::string& face, bool bold, bool italic) {
    auto key = std::make_tuple(face, bold, italic);
    auto found = families_.find(key);
    if (found != families_.end()) return found->second.get();
    if (families_.size() >= kMaxFamilies && face != "_sans") return family("_sans", bold, italic);
    if (!library_) library_ = std::make_unique<Library>(configFile_);
    auto family = std::make_unique<Family>();
    family->fontconfigName = fontconfigFamily(face);
    family->bold = bold;
    family->italic = italic;
    // A Korean font name the system lacks ("굴림") is best stood in for by a font made for Korean, of the
    // same kind where the name is known ("바탕" a serif one).
    for (int code : codePoints(face)) family->korean = family->korean || isHangul(code);
    std::string standIn = koreanStandIn(face);
    family->korean = family->korean || !standIn.empty();
    family->primary = library_->match(family->fontconfigName, bold, italic, family->korean, -1);
    if (!standIn.empty() && !family->primary.named) {
        family->fontconfigName = standIn;
        family->primary = library_->match(standIn, bold, italic, true, -1);
    }
    Font& font = family->font;
    font.name = face;
    font.bold = bold;
    font.italic = italic;
    font.emSquare = kEmSquare;
    font.hasLayout = true;
    font.windingFill = true;
    if (FT_Face primary = family->primary.face) {
        double scale = kEmSquare / primary->units_per_EM;
        font.ascent = primary->ascender * scale;
        font.descent = -primary->descender * scale;
    } else {
        library_->reportMissing(face);
    }
    return families_.emplace(key, std::move(family)).first->second.get();
}

void DeviceFonts::addGlyphs(Family& family, std::span<const int> codes) {
    Font& font = family.font;
    for (int code : codes) {
        if (code < 0x20 || font.glyphOfCode.count(code) || family.missing.count(code)) continue;
        const Source* source = nullptr;
        FT_UInt index = 0;
        if (family.primary.face && (index = FT_Get_Char_Index(family.primary.face, static_cast<FT_ULong>(code))))
            source = &family.primary;
        for (std::size_t i = 0; !source && i < family.fallbacks.size(); ++i)
            if ((index = FT_Get_Char_Index(family.fallbacks[i].face, static_cast<FT_ULong>(code))))
                source = &family.fallbacks[i];
        if (!source && family.primary.face && family.fruitlessLookups < kMaxFruitlessLookups &&
            library_->anyFontHas(code)) {
            Source fallback = library_->match(family.fontconfigName, family.bold, family.italic, family.korean, code);
            if (fallback.face && (index = FT_Get_Char_Index(fallback.face, static_cast<FT_ULong>(code)))) {
                family.fallbacks.push_back(fallback);
                source = &family.fallbacks.back();
            } else {
                ++family.fruitlessLookups;
            }
        }
        if (!source || FT_Load_Glyph(source->face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)) {
            family.missing.insert(code);
            continue;
        }
        FT_GlyphSlot slot = source->face->glyph;
        double advance = static_cast<double>(slot->metrics.horiAdvance);
        ShapeGeometry geometry;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (source->embolden) {
                // The strength FreeType gives synthetic bold: a 24th of the em, half of it on each side.
                FT_Pos strength = source->face->units_per_EM / 24;
                FT_Outline_EmboldenXY(&slot->outline, strength, 0);
                advance += static_cast<double>(strength);
            }
            OutlineSink sink;
            sink.scale = kEmSquare / source->face->units_per_EM;
            sink.shear = source->oblique ? 0.2 : 0;
            FT_Outline_Funcs funcs{moveTo, lineTo, conicTo, cubicTo, 0, 0};
            FT_Outline_Decompose(&slot->outline, &funcs, &sink);
            if (!sink.contours.empty()) {
                geometry.layers.emplace_back();
                geometry.layers.back().fills.push_back({0, 0, std::move(sink.contours)});
            }
        }
        font.glyphOfCode[code] = static_cast<int>(font.glyphs.size());
        font.glyphs.push_back(std::move(geometry));
        font.codes.push_back(code);
        font.advances.push_back(advance * kEmSquare / source->face->units_per_EM);
    }
}

const Font* DeviceFonts::font(const std::string& face, bool bold, bool italic, std::span<const int> codes) {
    Family* found = family(face, bold, italic);
    if (!found->primary.face) return nullptr;
    addGlyphs(*found, codes);
    return &found->font;
}

const std::vector<PlacedGlyph>& DeviceFonts::staticText(int id, const StaticText& text,
                                                        const std::map<int, Font>& fonts) {
    auto [entry, added] = staticTexts_.try_emplace(id);
    if (!added) return entry->second ? *entry->second : text.glyphs;
    // The codes each font without outlines is asked for.
    std::map<int, std::vector<int>> codesOfFont;
    std::map<int, bool> outlined;
    for (const PlacedGlyph& placed : text.glyphs) {
        auto font = fonts.find(placed.fontId);
        if (font == fonts.end()) continue;
        auto [known, first] = outlined.try_emplace(placed.fontId, false);
        if (first) known->second = hasOutlines(font->second);
        if (known->second) continue;
        auto& codes = codesOfFont[placed.fontId];
        if (placed.glyph >= 0 && static_cast<std::size_t>(placed.glyph) < font->second.codes.size())
            codes.push_back(font->second.codes[placed.glyph]);
    }
    if (codesOfFont.empty()) return text.glyphs;
    std::map<int, const Font*> device;
    for (const auto& [fontId, codes] : codesOfFont) {
        const Font& named = fonts.at(fontId);
        device[fontId] = font(named.name, named.bold, named.italic, codes);
    }
    std::vector<PlacedGlyph> glyphs;
    for (const PlacedGlyph& placed : text.glyphs) {
        auto system = device.find(placed.fontId);
        if (system == device.end()) {
            glyphs.push_back(placed);
            continue;
        }
        const Font& named = fonts.at(placed.fontId);
        if (!system->second || placed.glyph < 0 || static_cast<std::size_t>(placed.glyph) >= named.codes.size())
            continue;
        auto glyph = system->second->glyphOfCode.find(named.codes[placed.glyph]);
        if (glyph == system->second->glyphOfCode.end()) continue;
        // The record's scale is for the movie font's em square; the system glyphs have their own.
        double k = named.emSquare / system->second->emSquare;
        PlacedGlyph drawn = placed;
        drawn.glyph = glyph->second;
        drawn.deviceFont = system->second;
        drawn.matrix.a *= k;
        drawn.matrix.b *= k;
        drawn.matrix.c *= k;
        drawn.matrix.d *= k;
        glyphs.push_back(drawn);
    }
    entry->second = std::move(glyphs);
    return *entry->second;
}

}  // namespace flashgrab
