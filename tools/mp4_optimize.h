#pragma once

#include <string>

namespace posttools {

// Moves the movie box in front of the media data, moving every chunk offset with it.
// Returns false (file untouched) when it already is in front; throws Failure when the file
// cannot be rearranged, also leaving it untouched.
bool optimizeMp4(const std::string& path);

}  // namespace posttools
