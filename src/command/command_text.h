#pragma once

#include <string>
#include <string_view>

namespace torvane {

// Every occurrence of search replaced, scanning left to right; inserted text is never
// rescanned by the same call. An empty search leaves the text unchanged.
std::string replaceAll(std::string_view text, std::string_view search, std::string_view replacement);

// The command line, a blank, the option, a blank and the value; unchanged when both are empty.
// Both blanks are always written, so an empty value leaves a trailing blank.
std::string appendOption(std::string_view commandLine, std::string_view option, std::string_view value);

// The text in double quotes, with every double quote and backslash inside escaped by a
// backslash, so that splitCommandLine gives it back as one argument whatever it holds.
std::string quoted(std::string_view text);
// Exact-match overloads, so that a call with a std::string never picks std::quoted by
// argument-dependent lookup.
inline std::string quoted(const std::string& text) {
    return quoted(std::string_view(text));
}
inline std::string quoted(const char* text) {
    return quoted(std::string_view(text));
}

}  // namespace torvane
