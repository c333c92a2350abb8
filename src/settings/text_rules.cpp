#include "settings/text_rules.h"

#include <array>
#include <limits>

namespace torvane {

bool isTruthy(std::string_view text) {
    static constexpr std::array<std::string_view, 8> kOn = {"yes", "y", "YES", "Yes", "1", "on", "On", "ON"};
    for (const std::string_view on : kOn) {
        if (text == on) return true;
    }
    return false;
}

std::vector<std::string> splitList(std::string_view text, std::string_view delimiters) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find_first_of(delimiters, start);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > start) pieces.emplace_back(text.substr(start, stop - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return pieces;
}

long long leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kMax = std::numeric_limits<long long>::max();
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

int leadingInt32(std::string_view text) {
    const long long value = leadingInteger(text);
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace torvane
