#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "flashgrab/frame_loop.h"
#include "support/test_support.h"
#include "swf_builder.h"

namespace flashgrab {
namespace {

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Plays at most a few frames of whatever parses; returns the frames written.
int playSome(std::span<const std::uint8_t> bytes, int maxFrames = 3) {
    auto file = parseSwf(bytes);
    if (!file) return -1;
    auto movie = buildMovie(std::move(*file));
    int frames = 0;
    playFrames(*movie, {32, 24}, Quality::High, {}, [&](const std::uint8_t*, std::size_t size) {
        EXPECT_EQ(size, 32u * 24 * 3);
        return ++frames < maxFrames;
    });
    return frames;
}

TEST(Robustness, BrokenFilesFromTheCorpusDoNotCrash) {
    TORVANE_NEEDS_CORPUS();
    std::string bad = torvane::test::corpusDir() + "/swf_extra/bad";
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(bad)) {
        if (entry.path().extension() != ".swf") continue;
        ++seen;
        SCOPED_TRACE(entry.path().string());
        playSome(readBytes(entry.path().string()));
    }
    EXPECT_GT(seen, 5);
    EXPECT_EQ(loadMovie(bad), nullptr) << "a folder is not a movie";
    EXPECT_EQ(loadMovie(bad + "/no such file.swf"), nullptr);
    EXPECT_EQ(playSome(std::vector<std::uint8_t>{}), -1);
    EXPECT_EQ(playSome(std::vector<std::uint8_t>{'F', 'W', 'S'}), -1);
}

TEST(Robustness, TruncatedAndCorruptedMoviesDoNotCrash) {
    TORVANE_NEEDS_CORPUS();
    std::string swf = torvane::test::corpusDir() + "/swf/";
    for (const char* name : {"from_shumway__acid__acid-color-0", "from_shumway__acid__acid-text",
                             "visual__simple_shapes__gradients__gradients", "from_shumway__invalidClipDepth",
                             "from_shumway__acid__acid-bitmap-fill", "visual__video__colorconversion__vp6"}) {
        SCOPED_TRACE(name);
        auto bytes = readBytes(swf + name + "/test.swf");
        ASSERT_GT(bytes.size(), 100u);
        auto file = parseSwf(bytes);
        ASSERT_TRUE(file);
        // Cut the decompressed movie at many points, and flip bytes in it, as an uncompressed file.
        std::vector<std::uint8_t> plain{'F', 'W', 'S', static_cast<std::uint8_t>(file->version), 0, 0, 0, 0};
        test::BitWriter header;
        test::rect(header, file->stage.xMin, file->stage.xMax, file->stage.yMin, file->stage.yMax);
        header.u16(24 << 8);
        header.u16(file->frameCount);
        plain.insert(plain.end(), header.bytes().begin(), header.bytes().end());
        BitReader in(file->body);
        readRect(in);
        in.u32();
        plain.insert(plain.end(), file->body.begin() + static_cast<long>(in.position()), file->body.end());
        for (std::size_t cut = 9; cut < plain.size(); cut += std::max<std::size_t>(1, plain.size() / 40))
            playSome(std::span(plain).first(cut));
        std::uint32_t seed = 12345;
        for (int round = 0; round < 40; ++round) {
            auto damaged = plain;
            for (int k = 0; k < 8; ++k) {
                seed = seed * 1103515245u + 12345u;
                std::size_t at = 20 + (seed >> 8) % (damaged.size() - 20);
                damaged[at] = static_cast<std::uint8_t>(seed >> 3);
            }
            playSome(damaged);
        }
        // And the compressed file cut short.
        for (std::size_t cut : {bytes.size() / 3, bytes.size() / 2, bytes.size() - 1})
            playSome(std::span(bytes).first(cut));
    }
}

// Sprite n places sprite n-1 twice: 2^60 instances if nothing held it back.
TEST(Robustness, SelfMultiplyingSpritesAreBounded) {
    using namespace flashgrab::test;
    std::vector<std::vector<std::uint8_t>> tags{rectangleShape(1, 0, 0, 100, 100, 0, 0, 0)};
    for (int id = 2; id < 62; ++id) {
        BitWriter sprite;
        sprite.u16(id);
        sprite.u16(1);
        sprite.append(placeObject(1, id - 1));
        sprite.append(placeObject(2, id - 1, 20, 20));
        sprite.append(showFrame());
        sprite.append(tag(0, {}));
        tags.push_back(tag(39, sprite.bytes()));
    }
    tags.push_back(placeObject(1, 61));
    tags.push_back(showFrame());
    tags.push_back(showFrame());
    EXPECT_EQ(playSome(test::movie(10, 10, 2, tags)), 2);
}

TEST(Robustness, HugeStageAndFrameCountsAreHarmless) {
    using namespace flashgrab::test;
    // A stage of 0 or negative size, and a header that claims 65535 frames over two real ones.
    EXPECT_EQ(playSome(test::movie(0, 0, 2, {showFrame(), showFrame()})), 2);
    EXPECT_EQ(playSome(test::movie(-5, 1 << 20, 65535, {showFrame()}), 5), 5);
}

}  // namespace
}  // namespace flashgrab
