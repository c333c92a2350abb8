#include "media/source_range.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "media/source_item.h"

namespace torvane {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Digits with at most one decimal point and a digit before it; nothing else.
std::optional<double> plainNumber(std::string_view text) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    bool point = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    return std::strtod(std::string(text).c_str(), nullptr);
}

std::string wrongTimeMessage(std::string_view field, std::string_view text) {
    return std::string(field) + " 시간을 읽을 수 없습니다: \"" + std::string(text) +
           "\"\n초(예: 90.5) 또는 시:분:초(예: 0:01:30.5)로 입력해주세요.";
}

}  // namespace

std::optional<double> parseTimeText(std::string_view text) {
    text = trimmed(text);
    std::vector<std::string_view> pieces;
    while (true) {
        const auto colon = text.find(':');
        pieces.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    if (pieces.size() > 3) return std::nullopt;
    double seconds = 0.0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const bool last = i + 1 == pieces.size();
        // Only the seconds may have a fraction.
        if (!last && pieces[i].find('.') != std::string_view::npos) return std::nullopt;
        const std::optional<double> value = plainNumber(pieces[i]);
        if (!value) return std::nullopt;
        if (i > 0 && *value >= 60.0) return std::nullopt;
        seconds = seconds * 60.0 + *value;
    }
    return seconds;
}

std::string formatTimeText(double seconds) {
    const long long totalMs = std::llround(std::max(seconds, 0.0) * 1000.0);
    const long long whole = totalMs / 1000;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    std::string text = buffer;
    if (const long long ms = totalMs % 1000; ms != 0) {
        std::snprintf(buffer, sizeof buffer, ".%03lld", ms);
        text += buffer;
    }
    return text;
}

std::string encoderSecondsText(double seconds) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", std::max(seconds, 0.0));
    std::string text = buffer;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

bool hasRange(const SourceItem& item) {
    return item.rangeStartSeconds > 0.0 || item.rangeEndSeconds > 0.0;
}

double convertedSeconds(const SourceItem& item) {
    const double end = item.rangeEndSeconds > 0.0 ? item.rangeEndSeconds : item.media.durationExact;
    return std::max(end - item.rangeStartSeconds, 0.0);
}

std::optional<SourceRange> readRange(std::string_view startText, std::string_view endText, double durationSeconds,
                                     std::string* problem) {
    SourceRange range;
    if (!trimmed(startText).empty()) {
        const std::optional<double> start = parseTimeText(startText);
        if (!start) {
            *problem = wrongTimeMessage("시작", trimmed(startText));
            return std::nullopt;
        }
        range.startSeconds = *start;
    }
    if (!trimmed(endText).empty()) {
        const std::optional<double> end = parseTimeText(endText);
        if (!end) {
            *problem = wrongTimeMessage("끝", trimmed(endText));
            return std::nullopt;
        }
        range.endSeconds = *end;
    }
    if (durationSeconds > 0.0 && range.startSeconds >= durationSeconds) {
        *problem = "시작 시간이 파일의 길이(" + formatTimeText(durationSeconds) + ")보다 뒤에 있습니다.";
        return std::nullopt;
    }
    if (!trimmed(endText).empty() && range.endSeconds <= range.startSeconds) {
        *problem = "끝 시간은 시작 시간보다 뒤여야 합니다.";
        return std::nullopt;
    }
    if (durationSeconds > 0.0 && range.endSeconds >= durationSeconds) range.endSeconds = 0.0;
    return range;
}

}  // namespace torvane
