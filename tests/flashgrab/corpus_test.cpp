#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "corpus_cases.h"
#include "support/test_support.h"

namespace flashgrab::test {
namespace {

struct Outcome {
    CorpusCase c;
    Comparison comparison;
};

enum class Kind { ScriptFree, ActionScript };

// The cases of one kind, rendered once for all the tests here. The ActionScript ones are those with an
// image of the stage's size that the reference player is not known to draw wrongly.
const std::vector<Outcome>& outcomes(Kind kind = Kind::ScriptFree) {
    static std::map<Kind, std::vector<Outcome>> all;
    auto found = all.find(kind);
    if (found != all.end()) return found->second;
    std::string swf = torvane::test::corpusDir() + "/swf";
    // FLASHGRAB_DUMP_DIR keeps the renderings; FLASHGRAB_CASE limits the run to names containing it.
    const char* dump = std::getenv("FLASHGRAB_DUMP_DIR");
    const char* only = std::getenv("FLASHGRAB_CASE");
    std::vector<Outcome> out;
    for (const CorpusCase& c : readManifest(swf + "/MANIFEST.tsv")) {
        if (only && c.name.find(only) == std::string::npos) continue;
        bool scripted = c.script.rfind("avm1", 0) == 0;
        if (kind == Kind::ScriptFree && c.script != "none") continue;
        if (kind == Kind::ActionScript && (!scripted || !c.stageSized || c.knownFailure)) continue;
        out.push_back({c, compareCase(swf + "/" + c.name, c, dump ? dump : "")});
    }
    return all.emplace(kind, std::move(out)).first->second;
}

std::set<std::string> listedCases(const char* file = "matching_cases.txt") {
    std::ifstream in(torvane::test::sourceDir() + "/tests/flashgrab/" + file);
    std::set<std::string> names;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') names.insert(line);
    return names;
}

void printShare(const char* title, bool fills) {
    std::map<std::string, std::pair<int, int>> share;
    for (const Outcome& o : outcomes()) {
        for (const std::string& tag : fills ? o.c.fills : o.c.features) {
            share[tag].second++;
            if (o.comparison.matches()) share[tag].first++;
        }
    }
    std::printf("\n| %s | matching | cases |\n|---|---|---|\n", title);
    for (auto& [tag, counts] : share) std::printf("| %s | %d | %d |\n", tag.c_str(), counts.first, counts.second);
}

}  // namespace

TEST(CorpusComparison, ListedCasesStillMatchAndShareIsReported) {
    TORVANE_NEEDS_CORPUS();
    const auto& all = outcomes();
    ASSERT_GT(all.size(), 50u) << "the manifest lists the cases without ActionScript";
    std::set<std::string> listed = listedCases();
    int matching = 0;
    for (const Outcome& o : all) {
        if (o.comparison.matches()) ++matching;
        if (listed.count(o.c.name)) {
            EXPECT_TRUE(o.comparison.matches()) << o.c.name << ": " << o.comparison.withinTolerance * 100
                                                << "% within tolerance, mean error " << o.comparison.meanError;
        }
    }
    for (const std::string& name : listed)
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Outcome& o) { return o.c.name == name; }))
            << name << " is listed but is not a case without ActionScript";
    std::printf("flashgrab corpus: %d of %zu cases without ActionScript match\n", matching, all.size());
}

TEST(CorpusComparison, ListedActionScriptCasesStillMatch) {
    TORVANE_NEEDS_CORPUS();
    const auto& all = outcomes(Kind::ActionScript);
    if (!std::getenv("FLASHGRAB_CASE")) {
        ASSERT_EQ(all.size(), 35u) << "the manifest's ActionScript cases";
    }
    std::set<std::string> listed = listedCases("matching_as_cases.txt");
    int matching = 0;
    for (const Outcome& o : all) {
        if (o.comparison.matches()) ++matching;
        std::printf("| %s | %.2f%% | %.2f | %s |\n", o.c.name.c_str(), o.comparison.withinTolerance * 100,
                    o.comparison.meanError, o.comparison.matches() ? "yes" : "no");
        if (listed.count(o.c.name)) {
            EXPECT_TRUE(o.comparison.matches()) << o.c.name << ": " << o.comparison.withinTolerance * 100
                                                << "% within tolerance, mean error " << o.comparison.meanError;
        }
    }
    if (!std::getenv("FLASHGRAB_CASE")) {
        for (const std::string& name : listed) {
            EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Outcome& o) { return o.c.name == name; }))
                << name << " is listed but is not one of the compared ActionScript cases";
        }
    }
    std::printf("flashgrab corpus: %d of %zu ActionScript cases match\n", matching, all.size());
}

// Prints the table for bench/README.md: every case, then the share per fill kind and per feature.
TEST(CorpusComparison, PrintTable) {
    TORVANE_NEEDS_CORPUS();
    const auto& all = outcomes();
    int matching = 0;
    std::printf("\n| case | pixels within 24 | mean error | match |\n|---|---|---|---|\n");
    for (const Outcome& o : all) {
        if (o.comparison.matches()) ++matching;
        std::printf("| %s | %.2f%% | %.2f | %s |\n", o.c.name.c_str(), o.comparison.withinTolerance * 100,
                    o.comparison.meanError, o.comparison.matches() ? "yes" : "no");
    }
    std::printf("\nOverall: %d of %zu (%.0f%%)\n", matching, all.size(),
                all.empty() ? 0.0 : 100.0 * matching / static_cast<double>(all.size()));
    printShare("fill", true);
    printShare("feature", false);
}

}  // namespace flashgrab::test
