#pragma once

#include <cstdint>
#include <string>

namespace torvane {

enum class DurationStyle {
    Words,  // " 1시 2분 5초"
    Clock,  // "01:02:05", hours not capped at 24
    Timer,  // as Clock, but 0 and below read "00:00:00": a count that reaches zero keeps its form
};

// Seconds of 0 or below give "0 초" in the Words and Clock styles.
std::string formatDuration(std::int32_t seconds, DurationStyle style);

// How many decimals a size text asks for; the shown number is the integer quotient whatever
// the mode, which is kept so callers state what they asked for.
enum class SizeDecimals { None, One, Two };

// The byte count divided by 1024 while it is at least 1024, with the unit "Bytes", "KB", "MB",
// "GB", and no unit text past GB.
std::string formatSize(std::int64_t bytes, SizeDecimals decimals = SizeDecimals::None);

// The local time now as "20240131-235959": file names that begin with it sort by age.
std::string timeStamp();

}  // namespace torvane
