#pragma once

#include <cstdint>
#include <string>

namespace posttools {

// Adds an RTP hint track for the track with this ID, its samples referring to the media samples.
// Throws Failure, leaving the file untouched, when the track cannot be hinted.
void hintTrack(const std::string& path, uint32_t trackId);

}  // namespace posttools
