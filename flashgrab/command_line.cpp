#include "flashgrab/command_line.h"

#include <charconv>
#include <vector>

namespace flashgrab {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == separator) {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::optional<int> decimal(const std::string& text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "-from"/"-to": a frame number from 1; anything else leaves the default.
void setFrame(int& frame, const std::string& value) {
    if (const auto number = decimal(value); number && *number >= 1) frame = *number;
}

// One option with its value; false for a name flashgrab does not know.
bool setOption(Options& options, const std::string& name, const std::string& value) {
    if (name == "file") {
        options.moviePath = value;
    } else if (name == "p") {
        options.pipeId = value;
    } else if (name == "w") {
        options.width = value;
    } else if (name == "h") {
        options.height = value;
    } else if (name == "q") {
        if (value == "low") options.quality = Quality::Low;
        if (value == "high") options.quality = Quality::High;
    } else if (name == "from") {
        setFrame(options.firstFrame, value);
    } else if (name == "to") {
        setFrame(options.lastFrame, value);
    } else {
        return false;
    }
    return true;
}

}  // namespace

Options parseArguments(const std::vector<std::string>& arguments) {
    // The whole line in one argument, as older callers pass it.
    if (arguments.size() == 1 && arguments[0].starts_with('-') && arguments[0].find(' ') != std::string::npos) {
        return parseCommandLine(arguments[0]);
    }
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-trace") {
            options.trace = true;
            continue;
        }
        if (argument.size() < 2 || argument[0] != '-') continue;
        // Every option takes a value; the last one without it is ignored.
        if (i + 1 < arguments.size() && setOption(options, argument.substr(1), arguments[i + 1])) ++i;
    }
    return options;
}

Options parseCommandLine(const std::string& line) {
    Options options;
    for (const std::string& piece : split(line, '-')) {
        std::vector<std::string> words = split(piece, ' ');
        if (words.size() == 1 && trim(words[0]) == "trace") options.trace = true;
        if (words.size() < 2) continue;
        std::string value = trim(words[1]);
        const std::string& name = words[0];
        if (name == "file") {
            if (!value.empty() && value.front() == '"') value.erase(0, 1);
            if (!value.empty() && value.back() == '"') value.pop_back();
        }
        setOption(options, name, value);
    }
    return options;
}

std::optional<FrameSize> frameSizeOf(const Options& options) {
    auto width = decimal(options.width);
    auto height = decimal(options.height);
    if (!width || !height || *width <= 0 || *height <= 0 || *width > kMaxFrameSide || *height > kMaxFrameSide)
        return std::nullopt;
    if (static_cast<long>(*width) * *height > kMaxFramePixels) return std::nullopt;
    return FrameSize{*width, *height};
}

}  // namespace flashgrab
