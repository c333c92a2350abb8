#pragma once

#include <cstddef>
#include <string>

namespace torvane {

class EncodeSettings;
struct CommandContext;
struct SourceItem;

// The complete ffmpeg command line for one item: inputs, video codec and filters (size,
// aspect-keeping pad and crop, flip, mirror, rotation, or the logo overlay), frame rate, audio
// codec, rate, volume and channels, extra options, the test-encode limit and the output format.
// Sets the item's outputPath (and, for Flash sources, its work files). Empty when the item has
// no input to read.
std::string buildFfmpegCommand(const EncodeSettings& settings, SourceItem& item, std::size_t row,
                               const CommandContext& context);

// The ffmpeg filter argument that overlays the logo copy at the stored corner and distances;
// empty when the logo option is off or no logo file can be copied.
// ffmpeg's sound played at another speed: atempo stages of 2 or 0.5 and one for the rest.
std::string atempoChain(double speed);

std::string logoFilter(const CommandContext& context);

}  // namespace torvane
