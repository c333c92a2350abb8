#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "corpus_cases.h"
#include "support/test_support.h"

namespace flashgrab::test {
namespace {

// Each device-font case without ActionScript matches with its text left out too (its text is small), at a
// mean error of about 0.55; drawn where the reference images show it, in the font Debian prefers for
// sans-serif (fonts-noto-core, which scripts/install-deps.sh installs), the error falls below 0.35. So the
// bound below fails when the text goes missing or moves, which the kept list of matching cases cannot see.
constexpr double kMaxMeanError = 0.4;

TEST(CorpusDeviceFonts, TextIsDrawnWhereTheReferenceImagesShowIt) {
    TORVANE_NEEDS_CORPUS();
    std::string swf = torvane::test::corpusDir() + "/swf";
    int compared = 0;
    for (const CorpusCase& c : readManifest(swf + "/MANIFEST.tsv")) {
        if (c.script != "none" ||
            std::find(c.features.begin(), c.features.end(), "edittext-device-font") == c.features.end())
            continue;
        Comparison comparison = compareCase(swf + "/" + c.name, c);
        ++compared;
        EXPECT_TRUE(comparison.matches()) << c.name;
        EXPECT_LE(comparison.meanError, kMaxMeanError) << c.name << ": device-font text missing or misplaced ("
                                                       << comparison.withinTolerance * 100 << "% within tolerance)";
        std::printf("%s: %.2f%% within tolerance, mean error %.2f\n", c.name.c_str(), comparison.withinTolerance * 100,
                    comparison.meanError);
    }
    EXPECT_GE(compared, 10) << "the manifest lists the device-font cases without ActionScript";
}

}  // namespace
}  // namespace flashgrab::test
