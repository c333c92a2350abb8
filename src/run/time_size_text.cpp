#include "run/time_size_text.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <string_view>

namespace torvane {

std::string formatDuration(std::int32_t seconds, DurationStyle style) {
    if (seconds <= 0) return style == DurationStyle::Timer ? "00:00:00" : "0 초";
    const std::int32_t hours = seconds / 3600;
    const std::int32_t minutes = seconds / 60 % 60;
    const std::int32_t rest = seconds % 60;
    char buffer[64];
    if (style != DurationStyle::Words) {
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hours, minutes, rest);
        return buffer;
    }
    std::string text;
    const auto piece = [&](std::int32_t value, const char* unit) {
        if (value <= 0) return;
        std::snprintf(buffer, sizeof buffer, " %d%s", value, unit);
        text += buffer;
    };
    piece(hours, "시");
    piece(minutes, "분");
    piece(rest, "초");
    return text;
}

std::string formatSize(std::int64_t bytes, SizeDecimals /*decimals*/) {
    static constexpr std::array<std::string_view, 5> kUnits = {"Bytes", "KB", "MB", "GB", ""};
    // The value is shown unsigned, as the byte counts it is given never go below zero.
    auto value = static_cast<std::uint64_t>(bytes);
    std::size_t unit = 0;
    while (value >= 1024) {
        value /= 1024;
        if (unit + 1 < kUnits.size()) ++unit;
    }
    return std::to_string(value) + " " + std::string(kUnits[unit]);
}

std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace torvane
