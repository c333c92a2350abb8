#pragma once

#include <chrono>
#include <string>

#include "media/media_summary.h"

namespace torvane {

// The stream counts and length of an output as ffmpeg reads it, for the outputs the MediaInfo
// library cannot measure: GIF (an image to the library), SMAF, ADTS and FLAC without a length in
// their headers. ffmpeg demuxes the whole file into nothing (no decoding) and its closing
// "time=" is the length. Nothing is set when ffmpeg cannot be run or read the file.
void measureOutputWithFfmpeg(const std::string& ffmpegPath, const std::string& path, std::chrono::milliseconds limit,
                             MediaSummary& facts);

// The same from ffmpeg's printed output (its input description and its closing status line).
void readFfmpegMeasure(std::string_view output, MediaSummary& facts);

}  // namespace torvane
