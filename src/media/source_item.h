#pragma once

#include <cstdint>
#include <string>

#include "media/media_summary.h"

namespace torvane {

// One source file of the list: its probed facts, its output and its run fields.
struct SourceItem {
    std::string sourcePath;
    std::uint64_t fileSize = 0;
    std::string outputPath;
    // The hidden temporary the encoder writes while the item runs; the same as outputPath when
    // the command writes the final name directly (a dry run).
    std::string encodingPath;
    std::string subtitlePath;
    std::string itemId;
    MediaSummary media;
    std::uint64_t doneBytes = 0;
    std::int32_t percent = 0;
    std::uint32_t startTick = 0;
    std::uint32_t elapsedMs = 0;
    // The four texts of the source-information panel; each may hold one "\r\n".
    std::string fileLine;
    std::string videoLine;
    std::string audioLine;
    std::string subtitleLine;
    // Work files of a Flash source, set while its command line is built.
    std::string workPath;
    std::string extractedAudioPath;
    // The run's prepared copy of the subtitle (UTF-8, one language, on the output's clock), while
    // the item runs.
    std::string preparedSubtitlePath;
    // The part of the source to convert, in seconds of the source ("구간설정"); an end of 0 runs
    // to the source's end.
    double rangeStartSeconds = 0.0;
    double rangeEndSeconds = 0.0;
    // "소리" of the range dialog: unticked, the item is converted without its sound.
    bool keepSound = true;
    // Converted by a run that a crash cut short, as its journal says (outputPath names the file):
    // the next run passes it over.
    bool doneBeforeRestore = false;
};

}  // namespace torvane
