#pragma once

#include <string>
#include <string_view>

namespace torvane {

class EncodeSettings;
struct ContainerEntry;
struct SourceItem;
enum class Encoder;

// What becomes of an item's subtitle: nothing (none found, "sub_use" off, no picture to draw on,
// the picture copied), drawn into the picture, or kept as a track players switch on and off.
enum class SubtitleUse { None, Burn, Track };

// The subtitle codec ffmpeg writes a text track with in this format: ASS in Matroska for an
// ASS/SSA source (its styles survive), SRT in Matroska otherwise, mov_text in the MP4 family,
// WebVTT in WebM; empty for formats that carry no text track.
std::string_view subtitleTrackCodec(std::string_view container, const std::string& subtitlePath);

// True when the settings ask for the subtitle as a track ("sub_embed") and the format can
// carry one: ffmpeg is then the encoder, as mencoder writes no subtitle tracks.
bool wantsSubtitleTrack(const EncodeSettings& settings, const SourceItem& item);

// How the subtitle is used when this encoder converts the item. A track wanted of mencoder
// (a preset that insists on it) is burnt in instead.
SubtitleUse subtitleUse(const EncodeSettings& settings, const SourceItem& item, Encoder encoder);

// The ASS style fields libass is told to use for a burnt-in text subtitle, in the 288-line frame
// it lays text subtitles out in: the outline, the blur and the bottom margin from "sub_pos" (the
// percent of the height from the top where the text ends), and with `fontSize` the size from
// "sub_textscale" (mencoder sizes the text from its own text scale). Both encoders draw through
// libass with these, so the same subtitle looks alike from either.
std::string burntSubtitleStyle(const EncodeSettings& settings, bool fontSize);

// The line the settings summary shows for it ("자막 입힘: movie.smi"); empty for none.
std::string subtitleUseText(SubtitleUse use, const SourceItem& item);

}  // namespace torvane
