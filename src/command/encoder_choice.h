#pragma once

#include <cstddef>
#include <string>

namespace torvane {

class EncodeSettings;
struct CommandContext;
struct ContainerEntry;
struct SourceItem;

enum class Encoder { Ffmpeg, Mencoder };

// Which encoder converts the item: "f" and "m" in the settings decide; otherwise mencoder for
// SKM/K3G sources, MSS video, a speed change or burnt-in subtitles, and ffmpeg for Flash
// sources, audio-only formats, a subtitle kept as a track and everything else. A speed change or subtitles go to
// mencoder only when the catalogue has mencoder options for the format and codecs in use and the source has a picture;
// otherwise mencoder could not write the file at all.
Encoder chooseEncoder(const EncodeSettings& settings, const SourceItem& item, const ContainerEntry& container);

// True when the catalogue gives mencoder options for everything the settings produce.
bool mencoderCanWrite(const EncodeSettings& settings, const ContainerEntry& container);

// The command line the run starts for the item, from the chosen builder; sets the item's
// outputPath. Empty when the item has no input to read.
std::string buildCommandLine(const EncodeSettings& settings, SourceItem& item, std::size_t row,
                             const CommandContext& context);

}  // namespace torvane
