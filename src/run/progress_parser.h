#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

struct SourceItem;

// The run-wide numbers the progress of one item feeds into.
struct RunProgress {
    int itemCount = 0;
    std::uint64_t totalBytes = 0;     // of all sources, taken at the start of the run
    std::uint64_t finishedBytes = 0;  // overall done at the end of the last finished item
    std::uint64_t overallDone = 0;
    int overallPercent = 0;
};

// What one line changes on the screen; fields left empty stay as they are.
struct ProgressUpdate {
    std::optional<std::string> cellText;  // the list's "진행(%)" cell
    std::optional<std::string> currentPercentText;
    std::optional<int> currentBar;
    std::optional<std::string> overallPercentText;
    std::optional<int> overallBar;
    std::optional<std::string> speedText;
    std::optional<std::string> remainingText;
    std::optional<std::string> statusText;
    bool closingLine = false;    // the encoder's summary or closing line
    bool outputMissing = false;  // ... and the output file is missing or empty
};

// The state of the run a line is read in.
struct LineContext {
    bool runActive = true;
    bool stopRequested = false;
    std::uint32_t nowMs = 0;  // a millisecond clock, the one startTick was taken from
};

// Reads ffmpeg's and mencoder's console lines into the current item's percent and done bytes,
// the run's overall progress, the speed and the remaining time. Percent never goes back within
// an item; speed and remaining time are recomputed at most once per second.
class ProgressParser {
public:
    ProgressUpdate parseLine(std::string_view line, SourceItem& item, RunProgress& run, const LineContext& context);

    // The speed ffmpeg's command changes the item's length by: its clock counts output seconds,
    // so the percent and the remaining time count over the source's length divided by it.
    void setFfmpegSpeed(double speed) { ffmpegSpeed_ = speed > 0 ? speed : 1.0; }

private:
    void commonUpdate(int newPercent, float exactSeconds, double lengthSeconds, const std::string& cellText,
                      SourceItem& item, RunProgress& run, const LineContext& context, ProgressUpdate& update);
    std::int64_t lastSecondUsed_ = -1;
    double ffmpegSpeed_ = 1.0;
};

// "hh:mm:ss" to seconds; 0 unless there are exactly three pieces.
int clockSeconds(std::string_view text);
// "hh:mm:ss.cc" to seconds with hundredths: the digits after the point count as hundredths.
float clockSecondsExact(std::string_view text);

// Recomputes the run's overall done bytes and percent from the item (each item weighs by its
// source size; a run of one item shows the item's own percent).
void overallProgress(const SourceItem& item, RunProgress& run);

}  // namespace torvane
