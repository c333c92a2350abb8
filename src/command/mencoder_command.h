#pragma once

#include <cstddef>
#include <string>

namespace torvane {

class EncodeSettings;
struct CommandContext;
struct SourceItem;

// The complete mencoder command line for one item: output format, video codec, size filters,
// frame rate, flip, mirror, rotation, burnt-in subtitles, audio codec, resampling, volume in
// decibels, channels, scaler, speed, extra options and the test-encode limit. Sets the item's
// outputPath and makes the output folder (one level) when it is missing. Empty when the item
// has no input to read.
std::string buildMencoderCommand(const EncodeSettings& settings, SourceItem& item, std::size_t row,
                                 const CommandContext& context);

// The gain in decibels for a volume percentage: (percent - 100) / 25 above 100,
// (percent - 100) / 7 below, truncated; 0 means no volume filter.
int mencoderVolumeGain(std::string_view volumePercent);

}  // namespace torvane
