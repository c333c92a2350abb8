#pragma once

#include <string>

namespace torvane {

class EncodeSettings;
struct SourceItem;
enum class Encoder;
enum class SubtitleUse;

// What is done to an item's subtitle before the encoder starts, always on a copy in the
// private work folder (the user's file is only read):
// - for ffmpeg's subtitles filter, a SAMI subtitle or one with a delay becomes an ASS file in
//   UTF-8 (its SAMI decoder fails on the blank cue that ends nearly every SAMI file, and the
//   filter has no delay of its own);
// - for mencoder, a SAMI subtitle keeps one language (mencoder draws every class at once);
// - for a subtitle track, the subtitle becomes SRT (ASS from an ASS source) in UTF-8, shifted by
//   the delay.
// A SAMI subtitle always keeps only its Korean language class (see sami_language.h).
enum class SubtitlePreparation { None, AssForFfmpeg, SamiForMencoder, TrackText };

SubtitlePreparation subtitlePreparation(const EncodeSettings& settings, const SourceItem& item, SubtitleUse use,
                                        Encoder encoder);

// Makes the prepared copy; its name carries `number`, so two items never share one. Its path,
// or empty with *problem saying why (a sentence for the item's row).
std::string prepareSubtitle(const std::string& ffmpegPath, const EncodeSettings& settings, const SourceItem& item,
                            SubtitlePreparation preparation, unsigned number, std::string* problem);

}  // namespace torvane
