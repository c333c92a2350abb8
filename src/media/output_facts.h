#pragma once

#include <string>

#include "media/media_summary.h"

namespace torvane {

class MediaInfoLibrary;

// The facts a finished output is checked by (its stream counts and exact length), without the
// three reports a source's probe makes. Nothing is set when the library makes no handle.
void queryOutputFacts(MediaInfoLibrary& library, const std::string& path, MediaSummary& facts);

}  // namespace torvane
