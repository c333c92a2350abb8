#pragma once

#include <string>

namespace torvane {

// The family name a TrueType or OpenType font file gives itself (its "name" table, name 1),
// in UTF-8: what a renderer such as libass selects the font by. The English Windows name comes
// first, then any Windows name, then the Macintosh one; in a collection, the first font's.
// Empty when the file is no such font or names no family.
std::string fontFamilyName(const std::string& path);

}  // namespace torvane
