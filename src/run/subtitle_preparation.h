#pragma once

#include <string>

namespace torvane {

class EncodeSettings;
struct SourceItem;

// ffmpeg's subtitles filter cannot burn a SAMI file (its SAMI decoder fails on the blank cue
// that ends nearly every one) and has no delay of its own. Such a subtitle is first converted by
// ffmpeg into an ASS file in UTF-8, read in its own character set and shifted by "sub_delay".
// True when the item's subtitle needs that before it can be burnt in by ffmpeg.
bool needsSubtitlePreparation(const EncodeSettings& settings, const SourceItem& item);

// Converts the item's subtitle into an ASS file in the private work folder (its name carries
// `number`, so two items never share one); its path, or empty when ffmpeg could not convert it
// (the item is then converted without its subtitle).
std::string prepareSubtitleForFfmpeg(const std::string& ffmpegPath, const EncodeSettings& settings,
                                     const SourceItem& item, unsigned number);

}  // namespace torvane
