// swfdump: prints a movie's stage size, frame count and frame rate from its header, as
// "-X 550 -Y 400 -f 120 -r 24.00", the facts in this fixed order whatever order they were asked in.

#include <cstdio>
#include <iostream>
#include <string>

#include "tools/swf_reader.h"

namespace {

constexpr const char* kUsage =
    "usage: swfdump [-X] [-Y] [-f] [-r] FILE\n"
    "  -X  stage width in pixels\n"
    "  -Y  stage height in pixels\n"
    "  -f  number of frames\n"
    "  -r  frame rate, two decimals\n"
    "Without any of them all four are printed.\n";

// Whole pixels, rounded; a negative extent is reported as 0 so no value ever holds a "-".
long pixels(int32_t minTwips, int32_t maxTwips) {
    const long twips = static_cast<long>(maxTwips) - static_cast<long>(minTwips);
    return twips <= 0 ? 0 : (twips + 10) / 20;
}

}  // namespace

int main(int argc, char** argv) {
    bool width = false, height = false, frames = false, rate = false;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "-X") {
            width = true;
        } else if (arg == "-Y") {
            height = true;
        } else if (arg == "-f") {
            frames = true;
        } else if (arg == "-r") {
            rate = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "swfdump: unknown option " << arg << "\n" << kUsage;
            return 2;
        } else if (path.empty()) {
            path = arg;
        } else {
            std::cerr << "swfdump: more than one file given\n" << kUsage;
            return 2;
        }
    }
    if (path.empty()) {
        std::cerr << "swfdump: no file given\n" << kUsage;
        return 2;
    }
    if (!width && !height && !frames && !rate) width = height = frames = rate = true;

    try {
        const swf::Movie movie = swf::parseMovie(swf::readWholeFile(path));
        std::string line;
        const auto add = [&line](const char* flag, const std::string& value) {
            if (!line.empty()) line += ' ';
            line += flag;
            line += ' ';
            line += value;
        };
        if (width) add("-X", std::to_string(pixels(movie.xMinTwips, movie.xMaxTwips)));
        if (height) add("-Y", std::to_string(pixels(movie.yMinTwips, movie.yMaxTwips)));
        if (frames) add("-f", std::to_string(movie.frameCount));
        if (rate) {
            // snprintf in the C locale (never changed here), so the decimal mark is always ".".
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", movie.frameRate8_8 / 256.0);
            add("-r", text);
        }
        std::cout << line << "\n";
    } catch (const swf::Error& error) {
        std::cerr << "swfdump: " << path << ": " << error.what() << "\n";
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "swfdump: " << path << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
