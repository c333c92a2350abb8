#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "media/media_query.h"
#include "support/test_support.h"

namespace torvane {
namespace {

TEST(MediaQuery, VideoWithSoundFillsTheSummaryAndThePanelTexts) {
    SourceItem item;
    const std::string path = test::testMedia("av.mp4");
    ASSERT_TRUE(querySourceItem(path, item));
    const MediaSummary& m = item.media;
    EXPECT_EQ(item.sourcePath, path);
    EXPECT_EQ(item.fileSize, std::filesystem::file_size(path));
    EXPECT_EQ(m.completeName, path);
    EXPECT_EQ(m.generalFormat, "MPEG-4");
    EXPECT_EQ(m.videoStreamCount, 1);
    EXPECT_EQ(m.audioStreamCount, 1);
    EXPECT_EQ(m.videoWidth, "320");
    EXPECT_EQ(m.videoHeight, "240");
    EXPECT_EQ(m.videoFrameRate, "25.000");
    EXPECT_EQ(m.videoFormat, "AVC");
    EXPECT_EQ(m.audioFormat, "AAC");
    EXPECT_EQ(m.durationSeconds, 2);
    EXPECT_NEAR(m.durationExact, 2.0, 0.1);
    EXPECT_EQ(item.subtitlePath, "");
    EXPECT_EQ(item.subtitleLine, "");

    // "file name\r\nformat(profile), clock, bit rate"; a part in brackets only where the library knows it.
    const std::string profile = m.generalFormatProfile.empty() ? "" : "(" + m.generalFormatProfile + ")";
    EXPECT_EQ(item.fileLine, "av.mp4\r\nMPEG-4" + profile + ", 00:00:02, " + m.overallBitRate);
    // Current library releases leave the old Codec field empty; the format names the codec then.
    const std::string codec = m.videoCodec.empty() ? m.videoFormat : m.videoCodec;
    EXPECT_EQ(item.videoLine, codec + "(" + m.videoFormatProfile + ")\r\n320x240 (" + m.videoAspectRatio +
                                  "), 25.000 fps, " + m.videoBitRate);
    // This library gives AAC no format profile: the name alone, then the facts on the second row.
    EXPECT_EQ(m.audioFormatProfile, "");
    EXPECT_TRUE(std::regex_match(item.audioLine, std::regex("AAC\r\n[CV]BR, [0-9.]+ kb/s, 2 Ch, 44\\.1 kHz")))
        << item.audioLine;

    // The three reports differ, and each is trimmed.
    EXPECT_NE(m.informSummary, m.informNormal);
    EXPECT_NE(m.informNormal, m.informComplete);
    EXPECT_GT(m.informComplete.size(), m.informNormal.size());
    EXPECT_NE(m.informNormal.back(), '\n');
    EXPECT_EQ(m.informNormal.rfind("General", 0), 0u);
}

// Sound-only and partly known files: no separators, brackets or units around facts that are not there.
TEST(MediaQuery, SoundOnlyFilesHaveNoDanglingSeparators) {
    SourceItem mp3;
    ASSERT_TRUE(querySourceItem(test::testMedia("audio_only.mp3"), mp3));
    EXPECT_EQ(mp3.media.videoStreamCount, 0);
    EXPECT_EQ(mp3.media.audioStreamCount, 1);
    EXPECT_EQ(mp3.videoLine, "");
    // MPEG Audio's profile is "Layer 3": name(profile), then mode, rate, channels, sampling.
    EXPECT_EQ(mp3.audioLine, "MPEG Audio(Layer 3)\r\nCBR, 128 kb/s, 2 Ch, 44.1 kHz");

    SourceItem wav;
    ASSERT_TRUE(querySourceItem(test::testMedia("mono.wav"), wav));
    EXPECT_EQ(wav.media.audioFormatProfile, "");
    EXPECT_EQ(wav.audioLine.rfind("PCM\r\nCBR, ", 0), 0u) << wav.audioLine;
    EXPECT_NE(wav.audioLine.find("1 Ch, 22.05 kHz"), std::string::npos) << wav.audioLine;
    EXPECT_EQ(wav.videoLine, "");
    for (const SourceItem* item : {&mp3, &wav}) {
        for (const std::string* line : {&item->fileLine, &item->videoLine, &item->audioLine}) {
            EXPECT_EQ(line->find("()"), std::string::npos) << *line;
            EXPECT_EQ(line->find(", ,"), std::string::npos) << *line;
            EXPECT_FALSE(line->ends_with(", ") || line->ends_with(",")) << *line;
            EXPECT_EQ(line->find(" fps"), std::string::npos) << *line;
        }
    }
    EXPECT_NE(wav.fileLine.find("\r\nWave, 00:00:01"), std::string::npos) << wav.fileLine;
}

TEST(MediaQuery, DurationHasSecondsAndTheFraction) {
    SourceItem item;
    ASSERT_TRUE(querySourceItem(test::testMedia("long_silence.flac"), item));
    EXPECT_EQ(item.media.durationSeconds, 95);
    EXPECT_FLOAT_EQ(item.media.durationExact, 95.6f);
    EXPECT_NE(item.fileLine.find(", 00:01:35, "), std::string::npos) << item.fileLine;

    // queryMediaSummary leaves the exact duration alone and keeps fields it does not write.
    MediaSummary summary;
    summary.durationExact = 1.5f;
    queryMediaSummary(test::testMedia("long_silence.flac"), summary);
    EXPECT_EQ(summary.durationSeconds, 95);
    EXPECT_FLOAT_EQ(summary.durationExact, 1.5f);
}

TEST(MediaQuery, FilesTheLibraryCannotReadGiveEmptyFacts) {
    for (const char* name : {"not_media.txt", "empty.mp4"}) {
        SourceItem item;
        ASSERT_TRUE(querySourceItem(test::testMedia(name), item)) << name;
        EXPECT_EQ(item.media.videoStreamCount, 0) << name;
        EXPECT_EQ(item.media.audioStreamCount, 0) << name;
        EXPECT_EQ(item.media.durationSeconds, 0) << name;
    }
    SourceItem missing;
    ASSERT_TRUE(querySourceItem("/nonexistent/torvane/movie.avi", missing));
    EXPECT_EQ(missing.fileSize, 0u);
    EXPECT_EQ(missing.media.generalFormat, "");
}

TEST(MediaQuery, FindsTheSubtitleBesideTheSource) {
    SourceItem item;
    ASSERT_TRUE(querySourceItem(test::testMedia("with_subtitle.mp4"), item));
    EXPECT_EQ(item.subtitlePath, test::testMedia("with_subtitle.smi"));
    EXPECT_EQ(item.subtitleLine, "with_subtitle.smi");
}

TEST(MediaQuery, ItemIdsAreRandomAndShaped) {
    const std::regex shape("[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string id = newItemId();
        EXPECT_TRUE(std::regex_match(id, shape)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(MediaQuery, CorpusFilesProbeAsTheManifestSays) {
    TORVANE_NEEDS_CORPUS();
    // Real files nobody here made: the manifest's MediaInfo column ("...; V:AVC@High 320x180 ...;
    // A:AAC ...") tells which streams each has and the picture size.
    const std::string media = test::corpusDir() + "/media/";
    std::ifstream manifest(media + "MANIFEST.tsv");
    if (!manifest) GTEST_SKIP() << "no corpus at " << media;
    const std::regex videoPart("; V:[^ ]+ ([0-9]+)x([0-9]+)");
    int checked = 0;
    for (std::string line; std::getline(manifest, line);) {
        std::vector<std::string> columns;
        std::stringstream row(line);
        for (std::string column; std::getline(row, column, '\t');) columns.push_back(column);
        if (columns.size() < 10 || !(columns[0].starts_with("video/") || columns[0].starts_with("audio/"))) continue;
        const std::string& facts = columns[9];
        SourceItem item;
        ASSERT_TRUE(querySourceItem(media + columns[0], item));
        SCOPED_TRACE(columns[0] + " | " + facts);
        EXPECT_EQ(item.media.videoStreamCount > 0, facts.find("; V:") != std::string::npos);
        EXPECT_EQ(item.media.audioStreamCount > 0, facts.find("A:") != std::string::npos);
        if (std::smatch size; std::regex_search(facts, size, videoPart)) {
            EXPECT_EQ(item.media.videoWidth, size[1].str());
            EXPECT_EQ(item.media.videoHeight, size[2].str());
        }
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace torvane
