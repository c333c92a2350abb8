#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace torvane {

struct SourceItem;

// A start and an end in seconds of the source; an end of 0 is the source's end.
struct SourceRange {
    double startSeconds = 0.0;
    double endSeconds = 0.0;
};

// Seconds from a time text: plain seconds ("90", "90.5") or hours, minutes and seconds
// ("1:30", "0:01:30.250"). nullopt for anything else: letters, signs, an empty text, or minutes
// and seconds of 60 and more after a colon.
std::optional<double> parseTimeText(std::string_view text);

// "00:01:30", or "00:01:30.250" when there are milliseconds.
std::string formatTimeText(double seconds);

// Seconds as an encoder's option value: "90", "90.25" (at most three decimals).
std::string encoderSecondsText(double seconds);

// True when the item converts only a part of its source.
bool hasRange(const SourceItem& item);

// The seconds of source the conversion covers: the range's length, or the whole duration.
double convertedSeconds(const SourceItem& item);

// Reads the range dialog's "시작" and "끝" texts; an empty text is the source's start or end.
// durationSeconds is the source's length (0 when unknown); an end at or past it becomes 0.
// nullopt with the message for the user in *problem when the texts make no range.
std::optional<SourceRange> readRange(std::string_view startText, std::string_view endText, double durationSeconds,
                                     std::string* problem);

}  // namespace torvane
