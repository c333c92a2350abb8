#pragma once

#include <cstdint>
#include <string>

#include "tools/mp4_samples.h"

namespace posttools {

// The SDP media description a streaming server announces for the hint track hintId of media.
std::string sdpFor(const TrackInfo& media, uint32_t hintId);

}  // namespace posttools
