#pragma once

#include <string>

#include "media/media_summary.h"
#include "media/source_item.h"

namespace torvane {

class MediaInfoLibrary;

// Probes the file into summary: the three reports, the texts and the stream counts, and
// durationSeconds when the library knows the duration. Fields the probe does not write keep
// their values. Nothing happens when the library makes no handle.
void queryMediaSummary(const std::string& path, MediaSummary& summary);
void queryMediaSummary(MediaInfoLibrary& library, const std::string& path, MediaSummary& summary);

// Fills the probed part of a new list item: path, size, id, subtitle, media facts and the four
// panel texts. False only when the library makes no handle (path, size, id and subtitle are
// set then); true also when the library cannot read the file.
bool querySourceItem(const std::string& path, SourceItem& item);
bool querySourceItem(MediaInfoLibrary& library, const std::string& path, SourceItem& item);

// A random 128-bit id written as 8-4-4-4-12 hexadecimal digits, the third group in lower case;
// the empty text when no random bytes could be had.
std::string newItemId();

}  // namespace torvane
