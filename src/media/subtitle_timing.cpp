#include "media/subtitle_timing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace torvane {
namespace {

// Reads "H:MM:SS" followed by `separator` and a fraction of any number of digits; milliseconds.
std::optional<long long> readClock(std::string_view text, char separator) {
    long long hours = 0;
    long long minutes = 0;
    long long seconds = 0;
    std::size_t at = 0;
    const auto number = [&](long long& value) {
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') value = value * 10 + (text[at++] - '0');
        return at > start && at - start <= 6;
    };
    if (!number(hours) || at >= text.size() || text[at++] != ':') return std::nullopt;
    if (!number(minutes) || at >= text.size() || text[at++] != ':') return std::nullopt;
    if (!number(seconds) || at >= text.size() || text[at++] != separator) return std::nullopt;
    long long fraction = 0;
    long long scale = 1000;
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (scale > 1) fraction = fraction * 10 + (text[at] - '0');
        scale = scale > 1 ? scale / 10 : 1;
        ++at;
    }
    if (at == start) return std::nullopt;
    if (scale > 1) fraction *= scale;
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction;
}

long long moved(long long milliseconds, double shiftSeconds, double speed) {
    return std::llround((static_cast<double>(milliseconds) / 1000.0 + shiftSeconds) / speed * 1000.0);
}

std::string srtClock(long long ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

std::string assClock(long long ms) {
    const long long centiseconds = ms / 10;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", centiseconds / 360000, centiseconds / 6000 % 60,
                  centiseconds / 100 % 60, centiseconds % 100);
    return text;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        result.push_back(text.substr(0, end == std::string_view::npos ? text.size() : end + 1));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return result;
}

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

}  // namespace

std::string retimeSrt(std::string_view srt, double shiftSeconds, double speed) {
    if (!(speed > 0) || !std::isfinite(speed) || !std::isfinite(shiftSeconds)) return std::string(srt);
    std::string result;
    int number = 0;
    const std::vector<std::string_view> all = lines(srt);
    for (std::size_t i = 0; i < all.size();) {
        // A cue: its number, its times, its text lines up to a blank line.
        const std::string_view timing = i + 1 < all.size() ? withoutLineEnd(all[i + 1]) : std::string_view();
        const std::size_t arrow = timing.find(" --> ");
        const auto start = arrow == std::string_view::npos ? std::nullopt : readClock(timing, ',');
        const auto end = arrow == std::string_view::npos ? std::nullopt : readClock(timing.substr(arrow + 5), ',');
        if (!start || !end) {
            result += all[i++];
            continue;
        }
        std::size_t next = i + 2;
        while (next < all.size() && !withoutLineEnd(all[next]).empty()) ++next;
        if (next < all.size()) ++next;  // the blank line ends the cue
        const long long from = moved(*start, shiftSeconds, speed);
        const long long to = moved(*end, shiftSeconds, speed);
        if (to > 0) {
            result += std::to_string(++number) + "\n" + srtClock(std::max(from, 0LL)) + " --> " + srtClock(to) + "\n";
            for (std::size_t line = i + 2; line < next; ++line) result += all[line];
        }
        i = next;
    }
    return result;
}

std::string retimeAss(std::string_view ass, double shiftSeconds, double speed) {
    if (!(speed > 0) || !std::isfinite(speed) || !std::isfinite(shiftSeconds)) return std::string(ass);
    std::string result;
    for (const std::string_view line : lines(ass)) {
        // Dialogue: Layer,Start,End,Style,...
        const std::size_t firstComma = line.starts_with("Dialogue:") ? line.find(',') : std::string_view::npos;
        const std::size_t secondComma =
            firstComma == std::string_view::npos ? std::string_view::npos : line.find(',', firstComma + 1);
        const std::size_t thirdComma =
            secondComma == std::string_view::npos ? std::string_view::npos : line.find(',', secondComma + 1);
        const auto start = thirdComma == std::string_view::npos
                               ? std::nullopt
                               : readClock(line.substr(firstComma + 1, secondComma - firstComma - 1), '.');
        const auto end =
            start ? readClock(line.substr(secondComma + 1, thirdComma - secondComma - 1), '.') : std::nullopt;
        if (!start || !end) {
            result += line;
            continue;
        }
        const long long from = moved(*start, shiftSeconds, speed);
        const long long to = moved(*end, shiftSeconds, speed);
        if (to <= 0) continue;
        result += std::string(line.substr(0, firstComma + 1)) + assClock(std::max(from, 0LL)) + "," + assClock(to) +
                  std::string(line.substr(thirdComma));
    }
    return result;
}

}  // namespace torvane
