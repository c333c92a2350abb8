// swfcombine -d FILE -o OUT: writes the movie uncompressed ("FWS", correct length in the header),
// the working copy that ffmpeg's own SWF reader can open whatever compression the source used.

#include <iostream>
#include <string>

#include "tools/output_file.h"
#include "tools/swf_reader.h"

namespace {

constexpr const char* kUsage =
    "usage: swfcombine -d FILE -o OUT\n"
    "  -d  write FILE alone, uncompressed, to OUT\n";

}  // namespace

int main(int argc, char** argv) {
    bool alone = false;
    std::string input, output;
    std::string problem;
    for (int i = 1; i < argc && problem.empty(); ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "-d") {
            alone = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
                problem = "-o needs a file name";
            } else if (!output.empty()) {
                problem = "-o given twice";
            } else {
                output = argv[++i];
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            problem = "unknown option " + arg;
        } else if (input.empty()) {
            input = arg;
        } else {
            problem = "combining several movies is not supported";
        }
    }
    if (problem.empty() && !alone) problem = "only -d (one movie, uncompressed) is supported";
    if (problem.empty() && input.empty()) problem = "no file given";
    if (problem.empty() && output.empty()) problem = "no output file given (-o)";
    if (!problem.empty()) {
        std::cerr << "swfcombine: " << problem << "\n" << kUsage;
        return 2;
    }
    try {
        const swf::Movie movie = swf::parseMovie(swf::readWholeFile(input));
        swf::writeOutput(output, input, swf::uncompressedFile(movie));
    } catch (const std::exception& error) {
        std::cerr << "swfcombine: " << input << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
