#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// A settings flag is on when its whole text is one of these exactly (case matters: "yES" is off).
bool isTruthy(std::string_view text);

// Lower-cased ASCII copy; other bytes (UTF-8 Hangul among them) stay as they are.
std::string lowerAscii(std::string_view text);

// Cuts the text at every occurrence of any delimiter character and drops the empty pieces;
// pieces are not trimmed, so "avi, mp4" gives "avi" and " mp4".
std::vector<std::string> splitList(std::string_view text, std::string_view delimiters);

// The number at the start of a text: optional blanks, an optional sign, then decimal digits;
// 0 when there are none. Saturates instead of overflowing.
long long leadingInteger(std::string_view text);
// leadingInteger, clamped to the 32-bit range.
int leadingInt32(std::string_view text);

}  // namespace torvane
