#include <gtest/gtest.h>

#include "media/subtitle_discovery.h"
#include "support/test_support.h"

#include <filesystem>

namespace torvane {
namespace {

TEST(SubtitleDiscovery, FindsTheFirstExtensionInOrder) {
    test::TempFolder folder;
    test::writeFile(folder / "movie.avi", "x");
    test::writeFile(folder / "movie.srt", "1");
    test::writeFile(folder / "movie.smi", "<SAMI>");
    EXPECT_EQ(findSubtitleFile(folder / "movie.avi"), folder / "movie.smi");
    test::writeFile(folder / "other.SRT", "1");
    test::writeFile(folder / "other.ssa", "1");
    EXPECT_EQ(findSubtitleFile(folder / "other.mkv"), folder / "other.SRT");
}

TEST(SubtitleDiscovery, OnlyTheLastExtensionIsReplaced) {
    test::TempFolder folder;
    test::writeFile(folder / "movie.part1.smi", "x");
    test::writeFile(folder / "movie.smi", "x");
    EXPECT_EQ(findSubtitleFile(folder / "movie.part1.avi"), folder / "movie.part1.smi");
    test::writeFile(folder / "clip.ssa", "x");
    EXPECT_EQ(findSubtitleFile(folder / "clip"), folder / "clip.ssa");
    // A dot in a folder name is not an extension.
    test::writeFile(folder / "v1.0/clip.srt", "x");
    EXPECT_EQ(findSubtitleFile(folder / "v1.0/clip"), folder / "v1.0/clip.srt");
}

TEST(SubtitleDiscovery, FindsOtherCasesAndKoreanLanguageTagsAfterTheExactName) {
    test::TempFolder folder;
    test::writeFile(folder / "Movie.mkv", "x");
    test::writeFile(folder / "movie.en.srt", "1");
    EXPECT_EQ(findSubtitleFile(folder / "Movie.mkv"), "");  // not Korean
    test::writeFile(folder / "movie.korean.srt", "1");
    EXPECT_EQ(findSubtitleFile(folder / "Movie.mkv"), folder / "movie.korean.srt");
    test::writeFile(folder / "MOVIE.KOR.ass", "1");
    EXPECT_EQ(findSubtitleFile(folder / "Movie.mkv"), folder / "MOVIE.KOR.ass");
    test::writeFile(folder / "Movie.Ko.vtt", "1");
    EXPECT_EQ(findSubtitleFile(folder / "Movie.mkv"), folder / "Movie.Ko.vtt");
    // A subtitle named as the source comes before any tagged one, whatever its case.
    test::writeFile(folder / "MOVIE.Smi", "<SAMI>");
    EXPECT_EQ(findSubtitleFile(folder / "Movie.mkv"), folder / "MOVIE.Smi");
    test::writeFile(folder / "Movie.srt", "1");
    EXPECT_EQ(findSubtitleFile(folder / "Movie.mkv"), folder / "Movie.srt");
    // Hangul names compare as they are.
    test::writeFile(folder / "영화.ko.smi", "<SAMI>");
    EXPECT_EQ(findSubtitleFile(folder / "영화.mp4"), folder / "영화.ko.smi");
}

TEST(SubtitleDiscovery, NothingFound) {
    test::TempFolder folder;
    EXPECT_EQ(findSubtitleFile(folder / "movie.avi"), "");
    // A folder that happens to carry a subtitle name is not a subtitle.
    std::filesystem::create_directories(folder / "movie.smi");
    EXPECT_EQ(findSubtitleFile(folder / "movie.avi"), "");
}

TEST(SubtitleDiscovery, FindsTheCorpusSubtitleBesideItsTwinName) {
    TORVANE_NEEDS_CORPUS();
    // Korean SAMI subtitles from the shared corpus, looked up through a movie name beside them.
    const std::string folder = test::corpusDir() + "/media/subtitles";
    if (!std::filesystem::exists(folder)) GTEST_SKIP() << "no corpus at " << folder;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string path = entry.path().string();
        if (entry.path().extension() != ".smi") continue;
        const std::string movie = path.substr(0, path.size() - 4) + ".avi";
        EXPECT_EQ(findSubtitleFile(movie), path);
        return;
    }
    GTEST_SKIP() << "no .smi file in " << folder;
}

}  // namespace
}  // namespace torvane
