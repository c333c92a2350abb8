// flvtool2: the finishing step the converter runs on its FLV output.
//   -U FILE   rewrite the onMetaData (duration, sizes, rates, keyframe index) from the tags
// Every failure leaves the file as it was and exits non-zero with the reason on stderr.

#include <cstdio>
#include <exception>
#include <string>

#include "tools/flv_metadata.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != "-U") {
        std::fputs("usage: flvtool2 -U FILE\n", stderr);
        return 2;
    }
    const std::string path = argv[2];
    try {
        posttools::updateFlvMetadata(path);
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "flvtool2: %s: %s; file left unchanged\n", path.c_str(), failure.what());
        return 1;
    }
}
