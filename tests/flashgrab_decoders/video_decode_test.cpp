#include "flashgrab/video_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "decoder_test_files.h"
#include "support/test_support.h"

namespace flashgrab::test {
namespace {

using torvane::test::corpusDir;
using torvane::test::TempFolder;
using torvane::test::writeFile;

struct VideoStream {
    SwfTag header;
    int codec = 0, width = 0, height = 0;
    std::vector<SwfTag> frames;
    // The VideoFrame data after StreamID and FrameNum.
    Bytes data(std::size_t i) const { return Bytes(frames[i].body.begin() + 4, frames[i].body.end()); }
};

VideoStream loadVideo(const std::string& name) {
    VideoStream stream;
    for (SwfTag& tag : readSwfTags(corpusDir() + "/swf_extra/video/" + name)) {
        if (tag.code == kVideoStream) {
            stream.width = tag.body[4] | (tag.body[5] << 8);
            stream.height = tag.body[6] | (tag.body[7] << 8);
            stream.codec = tag.body[9];
            stream.header = tag;
        } else if (tag.code == kVideoFrame) {
            stream.frames.push_back(std::move(tag));
        }
    }
    return stream;
}

std::vector<Image> decodeAll(const VideoStream& stream, int codec) {
    VideoStreamDecoder decoder(codec, stream.width, stream.height);
    std::vector<Image> images;
    for (std::size_t i = 0; i < stream.frames.size(); ++i) {
        auto image = decoder.decode(stream.data(i));
        EXPECT_TRUE(image) << "frame " << i;
        images.push_back(image ? std::move(*image) : Image{});
    }
    return images;
}

// What ffmpeg decodes from a movie holding the stream's first frames on its root timeline (its
// SWF reader does not look into sprites), cropped from codedWidth-wide pictures.
std::vector<Image> ffmpegFrames(const VideoStream& stream, int count, int codedWidth) {
    std::vector<SwfTag> tags = {stream.header};
    for (int i = 0; i < count; ++i) tags.insert(tags.end(), {stream.frames[i], {kShowFrame, {}}});
    TempFolder folder;
    const Bytes movie = writeSwf(tags, stream.width, stream.height, count);
    writeFile(folder / "movie.swf", std::string(movie.begin(), movie.end()));
    const auto result =
        ffmpeg("-i " + (folder / "movie.swf") + " -frames:v " + std::to_string(count) + " -f rawvideo -pix_fmt bgra -");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<Image> frames;
    const std::size_t size = std::size_t(codedWidth) * stream.height * 4;
    for (std::size_t at = 0; at + size <= result.out.size(); at += size)
        frames.push_back(imageFromBgra(result.out, at, codedWidth, stream.width, stream.height));
    return frames;
}

// Opaque and not one flat colour.
void expectOpaquePicture(const Image& image) {
    double sum = 0, squares = 0;
    for (std::uint32_t p : image.pixels) {
        ASSERT_EQ(channel(p, 0), 255u);
        sum += channel(p, 2);
        squares += channel(p, 2) * channel(p, 2);
    }
    const double n = double(image.pixels.size());
    EXPECT_GT(std::sqrt(squares / n - (sum / n) * (sum / n)), 10.0);
}

TEST(VideoCorpus, SorensonH263FramesInOrderMatchFfmpeg) {
    TORVANE_NEEDS_CORPUS();
    const VideoStream stream = loadVideo("jpexs_graphics_h263_702frames.swf");
    ASSERT_EQ(stream.codec, 2);
    const std::vector<Image> frames = decodeAll(stream, stream.codec);
    ASSERT_EQ(frames.size(), 702u);
    EXPECT_EQ(frames[701].width, 640);
    EXPECT_EQ(frames[701].height, 360);
    expectOpaquePicture(frames[0]);
    const std::vector<Image> reference = ffmpegFrames(stream, 5, stream.width);
    ASSERT_EQ(reference.size(), 5u);
    EXPECT_LE(maxDifference(frames[0], reference[0]), 3);
    EXPECT_LE(maxDifference(frames[4], reference[4]), 3);  // built on the four frames before it
}

TEST(VideoCorpus, Vp6CroppedToTheStreamSizeMatchesFfmpeg) {
    TORVANE_NEEDS_CORPUS();
    const VideoStream stream = loadVideo("jpexs_video_vp6_stream_mp3.swf");
    ASSERT_EQ(stream.codec, 4);
    ASSERT_EQ(stream.width, 600);  // coded as 38 macroblocks: 608 pixels
    const std::vector<Image> frames = decodeAll(stream, stream.codec);
    ASSERT_EQ(frames.size(), 5u);
    expectOpaquePicture(frames[0]);
    const std::vector<Image> reference = ffmpegFrames(stream, 5, 608);
    ASSERT_EQ(reference.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_LE(maxDifference(frames[i], reference[i]), 3) << "frame " << i;
}

TEST(VideoCorpus, Vp6WithAlphaIsPremultiplied) {
    TORVANE_NEEDS_CORPUS();
    // No corpus movie has VP6 with alpha. Each packet here is a 24-bit offset, the colour frame
    // and an alpha frame, the same frame again: the alpha is then the picture's own video-range luma.
    VideoStream stream = loadVideo("jpexs_video_vp6_stream_mp3.swf");
    const std::vector<Image> colour = decodeAll(stream, 4);
    for (std::size_t i = 0; i < stream.frames.size(); ++i) {
        const Bytes data = stream.data(i);
        Bytes& body = stream.frames[i].body;
        body.resize(4);
        body.insert(body.end(),
                    {std::uint8_t(data.size() >> 16), std::uint8_t(data.size() >> 8), std::uint8_t(data.size())});
        body.insert(body.end(), data.begin(), data.end());
        body.insert(body.end(), data.begin(), data.end());
    }
    const std::vector<Image> withAlpha = decodeAll(stream, 5);
    for (std::size_t f = 0; f < colour.size(); ++f) {
        ASSERT_EQ(withAlpha[f].pixels.size(), colour[f].pixels.size());
        std::size_t far = 0;
        for (std::size_t i = 0; i < colour[f].pixels.size(); ++i) {
            const std::uint32_t p = colour[f].pixels[i], a = withAlpha[f].pixels[i];
            const double luma = 0.299 * channel(p, 1) + 0.587 * channel(p, 2) + 0.114 * channel(p, 3);
            far += std::abs(channel(a, 0) - (16 + luma * 219 / 255)) > 8;
            ASSERT_NEAR(channel(a, 2), channel(p, 2) * channel(a, 0) / 255.0, 2.0);
        }
        EXPECT_LT(far, colour[f].pixels.size() / 100);
    }
}

// Screen video has no corpus movie: ffmpeg encodes one into FLV, whose packets are the same as SWF's.
class ScreenVideo : public ::testing::TestWithParam<std::pair<int, std::string>> {};

TEST_P(ScreenVideo, FramesMatchFfmpeg) {
    TempFolder folder;
    const auto encoded = ffmpeg("-f lavfi -i testsrc=size=96x64:rate=10 -frames:v 4 -c:v " + GetParam().second + " " +
                                (folder / "screen.flv"));
    const auto decoded = ffmpeg("-i " + (folder / "screen.flv") + " -f rawvideo -pix_fmt bgra -");
    ASSERT_EQ(encoded.exitCode + decoded.exitCode, 0) << encoded.err << decoded.err;
    const std::vector<Bytes> packets = readFlvVideoPackets(readBytes(folder / "screen.flv"));
    ASSERT_EQ(packets.size(), 4u);
    // Version 2 codes blocks against the last key frame, which a SWF does not mark.
    VideoStreamDecoder decoder(GetParam().first, 96, 64);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const auto image = decoder.decode(packets[i]);
        ASSERT_TRUE(image) << i;
        EXPECT_LE(maxDifference(*image, imageFromBgra(decoded.out, i * 96 * 64 * 4, 96, 96, 64)), 1) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, ScreenVideo,
                         ::testing::Values(std::pair<int, std::string>{3, "flashsv"},
                                           std::pair<int, std::string>{6, "flashsv2"}));

TEST(VideoRobustness, SizesCodecsEmptyGarbageAndTruncatedFrames) {
    TORVANE_NEEDS_CORPUS();
    const VideoStream small = loadVideo("ruffle_swfcrate_h263_4frames.swf");
    const Bytes frame = small.data(0);
    for (const auto& [codec, width, height] : {std::tuple{1, 8, 8}, {7, 8, 8}, {2, 0, 8}, {2, 8, -1}, {2, 8193, 8}})
        EXPECT_FALSE(VideoStreamDecoder(codec, width, height).decode(frame)) << codec << " " << width;
    const auto scaled = VideoStreamDecoder(2, 32, 24).decode(frame);  // an 8 x 8 video on a larger stream
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->pixels.size(), 32u * 24u);

    const VideoStream stream = loadVideo("jpexs_graphics_h263_702frames.swf");
    const auto expected = VideoStreamDecoder(2, 640, 360).decode(stream.data(0));
    VideoStreamDecoder decoder(2, 640, 360);
    // An empty packet would put libavcodec into its end-of-stream state for good.
    EXPECT_FALSE(decoder.decode({}));
    std::mt19937 random(11);
    for (int i = 0; i < 50; ++i) {
        Bytes garbage(random() % 3000);
        for (auto& byte : garbage) byte = std::uint8_t(random());
        const auto image = decoder.decode(garbage);
        EXPECT_TRUE(image ? image->pixels.size() == 640u * 360u : true);
    }
    VideoStreamDecoder moved = std::move(decoder);
    const auto recovered = moved.decode(stream.data(0));
    ASSERT_TRUE(expected && recovered);
    EXPECT_EQ(recovered->pixels, expected->pixels);

    const VideoStream vp6 = loadVideo("jpexs_video_vp6_stream_mp3.swf");
    for (int codec : {2, 4, 5}) {
        const Bytes data = (codec == 2 ? small : vp6).data(0);
        VideoStreamDecoder cut(codec, 64, 64);
        for (std::size_t length = 1; length < data.size(); length += 1 + length / 16) {
            const auto image = cut.decode(Bytes(data.begin(), data.begin() + length));
            EXPECT_TRUE(image ? image->pixels.size() == 64u * 64u : true);
        }
    }
    // A screen video frame whose blocks are missing.
    EXPECT_FALSE(VideoStreamDecoder(3, 64, 64).decode(Bytes{0x30, 0x40, 0x30, 0x40, 0x00, 0x05, 0x78}));
}

}  // namespace
}  // namespace flashgrab::test
