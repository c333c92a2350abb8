#include "command/command_text.h"

namespace torvane {

std::string replaceAll(std::string_view text, std::string_view search, std::string_view replacement) {
    if (search.empty()) return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t position = 0;
    while (true) {
        const std::size_t found = text.find(search, position);
        if (found == std::string_view::npos) break;
        result.append(text.substr(position, found - position));
        result.append(replacement);
        position = found + search.size();
    }
    result.append(text.substr(position));
    return result;
}

std::string appendOption(std::string_view commandLine, std::string_view option, std::string_view value) {
    std::string result(commandLine);
    if (option.empty() && value.empty()) return result;
    result += ' ';
    result += option;
    result += ' ';
    result += value;
    return result;
}

std::string quoted(std::string_view text) {
    std::string result = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') result += '\\';
        result += c;
    }
    result += '"';
    return result;
}

}  // namespace torvane
