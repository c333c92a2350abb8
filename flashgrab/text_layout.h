#pragma once

#include <map>
#include <vector>

#include "flashgrab/device_font.h"
#include "flashgrab/edit_text.h"
#include "flashgrab/font_text.h"
#include "flashgrab/text_format.h"

namespace flashgrab {

// Lays a field's formatted text out in lines the way Flash does: runs of one format are measured with
// their font's advances (and kerning pairs where the format asks), lines break after spaces and
// hyphens when the field wraps, and each line is aligned and indented by the format it starts with.
// Glyph matrices are in the field's coordinates. Text in a font the movie does not draw (a field without
// outlines, a font that is only a name) takes its glyphs from deviceFonts, or is left out without them.
std::vector<PlacedGlyph> layoutText(const FormattedText& text, const EditText& field, const std::map<int, Font>& fonts,
                                    int swfVersion, DeviceFonts* deviceFonts = nullptr);

}  // namespace flashgrab
