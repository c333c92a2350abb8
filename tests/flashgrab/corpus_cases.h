#pragma once

#include <map>
#include <string>
#include <vector>

namespace flashgrab::test {

// One row of swf/MANIFEST.tsv, as far as the comparison needs it.
struct CorpusCase {
    std::string name;
    std::string script;
    int iterations = 1;         // frames played before the primary image is taken
    bool stageSized = true;     // the expected image has the stage's size
    bool knownFailure = false;  // the reference player itself is known to draw it wrongly
    std::vector<std::string> fills, features;
};

std::vector<CorpusCase> readManifest(const std::string& manifestPath);

struct Comparison {
    bool rendered = false;       // the movie loaded and the expected image was readable
    double withinTolerance = 0;  // share of pixels within 24 levels in every channel
    double meanError = 0;        // mean absolute error over all channels
    bool matches() const { return rendered && withinTolerance >= 0.98 && meanError <= 1.0; }
};

// Renders the case at its expected image's size (low quality where its test.toml says so) and compares;
// with dumpFolder set, the rendering is also written there as <case>.png.
Comparison compareCase(const std::string& caseFolder, const CorpusCase& c, const std::string& dumpFolder = {});

}  // namespace flashgrab::test
