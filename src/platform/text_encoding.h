#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvane {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing past U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Decodes CP949 (the Korean Windows code page) to UTF-8; a byte sequence CP949 does not
// define becomes U+FFFD, so nothing after it is lost.
std::string cp949ToUtf8(std::string_view bytes);

// Turns the bytes of a text file written by any of our sources into UTF-8: a UTF-8 or UTF-16
// byte-order mark decides; otherwise valid UTF-8 stays as it is and anything else is CP949,
// the code page of files written on Korean Windows systems.
std::string decodeTextFile(std::string_view bytes);

// The longest prefix of at most maxBytes bytes that does not end inside a UTF-8 character.
std::string_view cutUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace torvane
