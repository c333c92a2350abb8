#pragma once

#include <string>
#include <string_view>

namespace torvane {

class EncodeSettings;
struct CommandContext;
struct SourceItem;

// A Flash movie's facts as swfdump prints them ("-X 550 -Y 400 -f 120 -r 24.00"): texts, kept
// as printed.
struct SwfInfo {
    std::string width;
    std::string height;
    std::string frameRate;
    std::string frameCount;
};

// The sound ids of a swfextract listing: the "[-s]" line (sounds) and the "[-M]" line (MP3
// sounds), each a comma-separated list without blanks.
struct SwfSoundList {
    std::string sounds;
    std::string mp3Sounds;
};

// Outputs of ten characters or fewer say nothing and leave every field empty.
SwfInfo parseSwfdumpOutput(std::string_view text);
SwfSoundList parseSwfextractListing(std::string_view text);
// The first id of a list: the text before its first comma.
std::string firstSoundId(std::string_view list);

// The frames of a Flash source that a conversion sends, counted from 1: its range's frames at
// the movie's rate, or all of them. last is 0 when the movie's frame count is not known.
struct SwfFrameSpan {
    long first = 1;
    long last = 0;
    long count() const { return last >= first ? last - first + 1 : 0; }
};
SwfFrameSpan swfFrameSpan(const SourceItem& item);

// The private folder a Flash source's work files go in: $XDG_RUNTIME_DIR/torvane, or
// /tmp/torvane<uid>, made with mode 0700 and refused (empty result) unless it is a real folder
// of ours that nobody else may enter.
std::string swfWorkFolder();

// Removes work files that a run which is no longer running left in the work folder (a crash,
// a power cut); work files of running programs stay. Returns how many were removed.
int removeAbandonedSwfWorkFiles();

// Prepares a Flash source before its ffmpeg command is built: the working copy (swfcombine),
// the sound as MP3 (ffmpeg, then swfextract's stream, embedded MP3 and sound, then ffmpeg
// again), and the movie's frame size, rate and count from swfdump, so that ffmpeg's "-s" and
// flashgrab's "-w"/"-h" are the same numbers. Sets the item's workPath and extractedAudioPath.
void prepareSwfSource(SourceItem& item, const EncodeSettings& settings, const CommandContext& context);

}  // namespace torvane
