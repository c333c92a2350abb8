#include "flashgrab/bitmap_decode.h"

#include <gtest/gtest.h>

#include <random>

#include "decoder_test_files.h"
#include "support/test_support.h"

namespace flashgrab::test {
namespace {

using torvane::test::corpusDir;
using torvane::test::TempFolder;
using torvane::test::writeFile;

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes le32(std::size_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

// A DefineBitsLossless(2) body: format, width, height, [colour count - 1], zlib data.
Bytes losslessBody(int format, int width, int height, const Bytes& raw, int colors = 0) {
    Bytes body = {std::uint8_t(format), std::uint8_t(width), std::uint8_t(width >> 8), std::uint8_t(height),
                  std::uint8_t(height >> 8)};
    if (format == 3) body.push_back(std::uint8_t(colors - 1));
    return concat({body, zlibCompress(raw)});
}

std::optional<Image> decode(int tag, const Bytes& body, const Bytes& tables = {}) {
    return decodeBitmapTag(tag, body, tables);
}

// A PNG, GIF or JPEG (full-resolution chroma) of raw pixels, encoded by ffmpeg.
Bytes ffmpegPicture(const std::string& pixelFormat, int width, int height, const Bytes& raw, const std::string& codec) {
    TempFolder folder;
    writeFile(folder / "in.raw", std::string(raw.begin(), raw.end()));
    const auto result = ffmpeg("-f rawvideo -pix_fmt " + pixelFormat + " -s " + std::to_string(width) + "x" +
                               std::to_string(height) + " -i " + (folder / "in.raw") + " -c:v " + codec + " -pix_fmt " +
                               (codec == "mjpeg" ? "yuvj444p" : pixelFormat) + " -q:v 2 -f " +
                               (codec == "gif" ? "gif" : "image2pipe") + " -");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return Bytes(result.out.begin(), result.out.end());
}

class JpegTags : public ::testing::Test {
protected:
    const Bytes rgb = testPictureRgb(40, 24);
    const Bytes jpeg = ffmpegPicture("rgb24", 40, 24, rgb, "mjpeg");
    const std::optional<Image> whole = decode(kJpeg2, jpeg);
};

TEST_F(JpegTags, SeparateTablesStrayMarkersAndTrailingData) {
    ASSERT_TRUE(whole);
    EXPECT_LE(maxDifference(*whole, opaqueImage(40, 24, rgb)), 12);
    Bytes tables, image;
    splitJpegTables(jpeg, tables, image);
    const Bytes bogus = {0xFF, 0xD9, 0xFF, 0xD8};
    const Bytes tablesWithoutEnd(tables.begin(), tables.end() - 2), imageWithoutStart(image.begin() + 2, image.end());
    for (const auto& [body, jpegTables] :
         std::vector<std::pair<Bytes, Bytes>>{{image, tables},  // DefineBits with JPEGTables
                                              {jpeg, {}},       // whole JPEGs in DefineBits, JPEGTables empty
                                              {concat({bogus, image}), concat({bogus, tables})},
                                              {imageWithoutStart, tablesWithoutEnd}}) {
        const auto decoded = decode(kDefineBits, body, jpegTables);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->pixels, whole->pixels);
    }
    EXPECT_FALSE(decode(kDefineBits, image));  // no tables anywhere
    for (const Bytes& body : {concat({bogus, jpeg}), concat({jpeg, {0x12, 0xFF, 0xD8, 0xFF, 0xC0, 0x00}})}) {
        const auto decoded = decode(kJpeg2, body);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->pixels, whole->pixels);
    }
}

TEST_F(JpegTags, AlphaPlaneOfJpeg3And4) {
    Bytes alpha;
    for (int i = 0; i < 40 * 24; ++i) alpha.push_back(std::uint8_t(i / 40 * 255 / 23));  // a ramp over the rows
    const Bytes alphaData = zlibCompress(alpha);
    const auto jpeg3 = decode(kJpeg3, concat({le32(jpeg.size()), jpeg, alphaData}));
    const auto jpeg4 = decode(kJpeg4, concat({le32(jpeg.size()), {0x00, 0x01}, jpeg, alphaData}));  // + deblocking
    ASSERT_TRUE(whole && jpeg3 && jpeg4);
    EXPECT_EQ(jpeg4->pixels, jpeg3->pixels);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        // The colours were premultiplied by the writer: they are clamped to the alpha, not multiplied again.
        ASSERT_EQ(channel(jpeg3->pixels[i], 0), alpha[i]);
        for (int c = 1; c < 4; ++c)
            ASSERT_EQ(channel(jpeg3->pixels[i], c), std::min(channel(whole->pixels[i], c), alpha[i] + 0u));
    }
    // Without an alpha plane the picture is opaque; a damaged one or a wrong offset refuses it.
    const auto noAlpha = decode(kJpeg3, concat({le32(jpeg.size()), jpeg}));
    ASSERT_TRUE(noAlpha);
    EXPECT_EQ(noAlpha->pixels, whole->pixels);
    EXPECT_FALSE(decode(kJpeg3, concat({le32(jpeg.size()), jpeg, zlibCompress(Bytes(alpha.size() - 1, 9))})));
    EXPECT_FALSE(decode(kJpeg3, concat({le32(jpeg.size()), jpeg, Bytes(alphaData.begin(), alphaData.begin() + 20)})));
    EXPECT_FALSE(decode(kJpeg3, concat({le32(jpeg.size() + 1), jpeg})));
    EXPECT_FALSE(decode(kJpeg4, le32(0)));
}

TEST(PngAndGifInJpegTags, DecodeWithTheirOwnAlpha) {
    // Opaque red, half-transparent white, transparent green, opaque blue.
    const Bytes png =
        ffmpegPicture("rgba", 2, 2, {255, 0, 0, 255, 255, 255, 255, 128, 0, 255, 0, 0, 0, 0, 255, 255}, "png");
    const std::vector<std::uint32_t> expected = {0xFFFF0000, 0x80808080, 0, 0xFF0000FF};
    const auto jpeg2 = decode(kJpeg2, png);
    // In DefineBitsJPEG3 an alpha plane after a PNG is not applied.
    const auto jpeg3 = decode(kJpeg3, concat({le32(png.size()), png, zlibCompress(Bytes(4, 0))}));
    ASSERT_TRUE(jpeg2 && jpeg3);
    EXPECT_EQ(jpeg2->pixels, expected);
    EXPECT_EQ(jpeg3->pixels, expected);
    const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    const auto gif = decode(kJpeg2, ffmpegPicture("rgb24", 2, 2, rgb, "gif"));
    ASSERT_TRUE(gif);
    EXPECT_LE(maxDifference(*gif, opaqueImage(2, 2, rgb)), 40);
}

TEST(LosslessTags, AllFormatsWithRowPadding) {
    const struct {
        int tag, format, width, colors;
        Bytes raw;  // the palette, then the rows
        std::size_t lastPadding;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        // 3 indices a row padded to 4; index 3 is past the table: transparent
        {kLossless,
         3,
         3,
         3,
         {10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 1, 2, 0xEE, 2, 3, 0, 0xEE},
         1,
         {0xFF0A141E, 0xFF28323C, 0xFF46505A, 0xFF46505A, 0, 0xFF0A141E}},
        // RGBA table, kept premultiplied as written
        {kLossless2,
         3,
         2,
         2,
         {100, 50, 0, 128, 0, 0, 0, 0, 1, 0, 0xEE, 0xEE, 0, 1, 0xEE, 0xEE},
         2,
         {0, 0x80643200, 0x80643200, 0}},
        // big-endian X1R5G5B5, 6 bytes a row padded to 8, channels widened to the full range
        {kLossless,
         4,
         3,
         0,
         {0x7C, 0x00, 0x03, 0xE0, 0x00, 0x1F, 0xEE, 0xEE, 0x7F, 0xFF, 0x00, 0x00, 0x42, 0x10},
         0,
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF848484}},
        // XRGB: the first byte unused; ARGB premultiplied in the file
        {kLossless, 5, 1, 0, {0x00, 1, 2, 3, 0x55, 4, 5, 6}, 0, {0xFF010203, 0xFF040506}},
        {kLossless2, 5, 1, 0, {0x00, 1, 2, 3, 0x55, 4, 5, 6}, 0, {0x00010203, 0x55040506}},
    };
    for (const auto& c : cases) {
        const auto image = decode(c.tag, losslessBody(c.format, c.width, 2, c.raw, c.colors));
        ASSERT_TRUE(image) << c.format;
        EXPECT_EQ(image->pixels, c.expected) << c.tag << " format " << c.format;
        // The last row may lack its padding (the 15-bit case above does), but not its pixels.
        const Bytes cut(c.raw.begin(), c.raw.end() - 1 - c.lastPadding);
        EXPECT_FALSE(decode(c.tag, losslessBody(c.format, c.width, 2, cut, c.colors))) << c.format;
    }
    EXPECT_FALSE(decode(kLossless, losslessBody(6, 1, 1, {0, 0, 0, 0})));
    Bytes badHeader = losslessBody(5, 2, 2, Bytes(16, 0x80));
    badHeader[6] ^= 0x01;  // the zlib header's check bits
    EXPECT_FALSE(decode(kLossless2, badHeader));
}

TEST(BitmapLimits, SizesPast8192AreRefusedBeforeDecoding) {
    EXPECT_TRUE(decode(kLossless2, losslessBody(5, 8192, 1, Bytes(8192 * 4, 0))));
    EXPECT_FALSE(decode(kLossless2, losslessBody(5, 8193, 1, Bytes(8193 * 4, 0))));
    EXPECT_FALSE(decode(kLossless2, losslessBody(5, 0, 5, {})));
    EXPECT_FALSE(decode(kLossless, losslessBody(5, 65535, 65535, Bytes(64, 0))));
    Bytes jpeg = ffmpegPicture("rgb24", 8, 8, testPictureRgb(8, 8), "mjpeg");
    for (std::size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // the frame header: 60000 x 60000
            jpeg[i + 5] = jpeg[i + 7] = 0xEA;
            jpeg[i + 6] = jpeg[i + 8] = 0x60;
        }
    }
    EXPECT_FALSE(decode(kJpeg2, jpeg));
    Bytes png = ffmpegPicture("rgba", 1, 1, {1, 2, 3, 4}, "png");
    png.at(18) = 0x4E;  // IHDR width 20000
    EXPECT_FALSE(decode(kJpeg2, png));
}

TEST(BitmapRobustness, TruncatedGarbageAndDamagedData) {
    std::mt19937 random(3);
    const auto noise = [&](std::size_t size, int modulo) {
        Bytes bytes(size);
        for (auto& byte : bytes) byte = std::uint8_t(random() % modulo);
        return bytes;
    };
    const Bytes jpeg = ffmpegPicture("rgb24", 16, 8, testPictureRgb(16, 8), "mjpeg");
    const Bytes png = ffmpegPicture("rgb24", 16, 8, testPictureRgb(16, 8), "png");
    // Incompressible pixels, so that a cut before zlib's last few bytes loses some.
    const std::pair<int, Bytes> cases[] = {
        {kJpeg2, png},
        {kJpeg3, concat({le32(jpeg.size()), jpeg, zlibCompress(noise(16 * 8, 256))})},
        {kLossless2, losslessBody(5, 16, 8, noise(16 * 8 * 4, 256))},
        {kLossless, losslessBody(3, 16, 8, concat({noise(3 * 4, 256), noise(16 * 8, 4)}), 4)}};
    for (const auto& [tag, body] : cases) {
        ASSERT_TRUE(decode(tag, body)) << tag;
        for (std::size_t length = 0; length + 12 < body.size(); ++length) {
            // A JPEG3 cut just before its alpha plane is one written without alpha.
            if (tag == kJpeg3 && length == 4 + jpeg.size()) continue;
            EXPECT_FALSE(decode(tag, Bytes(body.begin(), body.begin() + length))) << tag << " cut at " << length;
        }
    }
    // A JPEG cut inside its scan data shows the rows that arrived, as browsers do; cut before it, nothing.
    for (std::size_t length = 0; length < jpeg.size(); ++length) {
        const auto image = decode(kJpeg2, Bytes(jpeg.begin(), jpeg.begin() + length));
        EXPECT_TRUE(image ? image->pixels.size() == 16u * 8u : true) << length;
        EXPECT_TRUE(length >= jpeg.size() / 4 || !image) << length;
    }
    for (int round = 0; round < 300; ++round) {
        const Bytes garbage = noise(random() % 400, 256);
        for (int tag : {kDefineBits, kJpeg2, kJpeg3, kJpeg4, kLossless, kLossless2, kShowFrame})
            EXPECT_FALSE(decode(tag, garbage)) << tag;
        Bytes damaged = jpeg;
        for (int i = 0; i < 4; ++i) damaged[random() % damaged.size()] = std::uint8_t(random());
        const auto image = decode(kJpeg2, damaged);
        EXPECT_TRUE(image ? image->pixels.size() == std::size_t(image->width) * image->height : true);
    }
}

TEST(CorpusBitmaps, EveryTagDecodes) {
    TORVANE_NEEDS_CORPUS();
    int decoded = 0;
    for (const std::string movie : {"swf/avm2__pixelbender_dithering", "swf/from_shumway__acid__acid-bitmap-fill",
                                    "swf/from_shumway__acid__acid-blend", "swf/from_shumway__acid__acid-color-0",
                                    "swf/from_shumway__bitmapbuttons", "swf/visual__cache_as_bitmap__avm2_button_state",
                                    "swf_extra/video/jpexs_graphics_h263_702frames"}) {
        const std::string path = corpusDir() + "/" + movie + (movie.starts_with("swf/") ? "/test.swf" : ".swf");
        Bytes tables;
        for (const SwfTag& tag : readSwfTags(path)) {
            if (tag.code == kJpegTables) tables = tag.body;
            if (tag.code != kDefineBits && tag.code != kJpeg2 && tag.code != kJpeg3 && tag.code != kLossless &&
                tag.code != kLossless2)
                continue;
            const Bytes body(tag.body.begin() + 2, tag.body.end());
            const auto image = decode(tag.code, body, tables);
            ASSERT_TRUE(image) << path << " tag " << tag.code;
            ++decoded;
            if (tag.code == kLossless || tag.code == kLossless2) {
                EXPECT_EQ(image->width, tag.body[3] | (tag.body[4] << 8));
            }
            if (tag.code == kJpeg3) {
                std::size_t translucent = 0;
                for (std::uint32_t p : image->pixels) {
                    ASSERT_LE(std::max({channel(p, 1), channel(p, 2), channel(p, 3)}), channel(p, 0));
                    translucent += channel(p, 0) > 0 && channel(p, 0) < 255;
                }
                EXPECT_GT(translucent, 500u);
            }
        }
    }
    EXPECT_EQ(decoded, 20);
}

}  // namespace
}  // namespace flashgrab::test
