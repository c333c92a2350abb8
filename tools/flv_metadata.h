#pragma once

#include <string>

namespace posttools {

// Rewrites the FLV's onMetaData from what its tags hold, as the file's first tag, keeping every
// other tag byte for byte. Throws Failure, leaving the file untouched, when it is not a whole FLV.
void updateFlvMetadata(const std::string& path);

}  // namespace posttools
