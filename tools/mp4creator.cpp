// mp4creator: the finishing steps the converter runs on its MP4 output.
//   -optimize FILE   put the movie box in front of the media data (fast start)
//   -hint=N FILE     add an RTP hint track for track N
// Every failure leaves the file as it was and exits non-zero with the reason on stderr.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "tools/mp4_hint.h"
#include "tools/mp4_optimize.h"

namespace {

int usage() {
    std::fputs("usage: mp4creator -optimize FILE | mp4creator -hint=TRACK FILE\n", stderr);
    return 2;
}

int hint(const std::string& trackText, const std::string& path) {
    if (trackText.empty() || trackText.size() > 9 || trackText.find_first_not_of("0123456789") != std::string::npos) {
        return usage();
    }
    posttools::hintTrack(path, static_cast<uint32_t>(std::stoul(trackText)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return usage();
    const std::string option = argv[1];
    const std::string path = argv[2];
    try {
        if (option == "-optimize") {
            if (!posttools::optimizeMp4(path))
                std::fprintf(stderr, "mp4creator: %s is already optimized\n", path.c_str());
            return 0;
        }
        if (option.rfind("-hint=", 0) == 0) return hint(option.substr(6), path);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "mp4creator: %s: %s; file left unchanged\n", path.c_str(), failure.what());
        return 1;
    }
    return usage();
}
