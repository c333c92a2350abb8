// The bitmap tags: JPEG (with JPEGTables, with an alpha plane), PNG/GIF in JPEG tags, and the
// zlib-compressed lossless formats.

#include "flashgrab/bitmap_decode.h"

#include <algorithm>

#include <zlib.h>

#include "flashgrab/decode_support.h"

namespace flashgrab {

namespace {

using detail::acceptableSize;
using detail::packArgb;

enum TagCode {
    kDefineBits = 6,
    kDefineBitsLossless = 20,
    kDefineBitsJpeg2 = 21,
    kDefineBitsJpeg3 = 35,
    kDefineBitsLossless2 = 36,
    kDefineBitsJpeg4 = 90,
};

enum LosslessFormat { kColormapped8 = 3, kRgb15 = 4, kRgb32 = 5 };

std::uint32_t readLittleEndian16(std::span<const std::uint8_t> data, std::size_t at) {
    return data[at] | (std::uint32_t{data[at + 1]} << 8);
}

std::uint32_t readLittleEndian32(std::span<const std::uint8_t> data, std::size_t at) {
    return readLittleEndian16(data, at) | (readLittleEndian16(data, at + 2) << 16);
}

// JPEG2 data may be a PNG or GIF picture since SWF 8.
std::optional<Image> decodeJpegOrOther(std::span<const std::uint8_t> tables, std::span<const std::uint8_t> data) {
    if (detail::isPng(data) || detail::isGif(data)) return detail::decodePngOrGif(data);
    return detail::decodeJpeg(tables, data);
}

// DefineBitsJPEG3/4: the picture, then a zlib-compressed alpha plane of one byte per pixel.
std::optional<Image> decodeJpegWithAlpha(std::span<const std::uint8_t> body, std::size_t headerSize) {
    if (body.size() < headerSize) return std::nullopt;
    const std::size_t alphaOffset = readLittleEndian32(body, 0);
    const std::span<const std::uint8_t> rest = body.subspan(headerSize);
    if (alphaOffset > rest.size()) return std::nullopt;
    const std::span<const std::uint8_t> picture = rest.first(alphaOffset);
    const std::span<const std::uint8_t> alphaData = rest.subspan(alphaOffset);

    // PNG and GIF bring their own transparency; the alpha plane applies to JPEG only.
    if (detail::isPng(picture) || detail::isGif(picture)) return detail::decodePngOrGif(picture);
    std::optional<Image> image = detail::decodeJpeg({}, picture);
    if (!image || alphaData.empty()) return image;  // written without an alpha plane: opaque

    const std::size_t count = image->pixels.size();
    const std::vector<std::uint8_t> alpha = detail::inflateLimited(alphaData, count);
    if (alpha.size() < count) return std::nullopt;
    // The colours were premultiplied before JPEG compression, which rounds some of them above
    // their alpha; such a pixel is clamped to its alpha rather than multiplied a second time,
    // which would darken every soft edge.
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t a = alpha[i];
        const std::uint32_t pixel = image->pixels[i];
        image->pixels[i] =
            packArgb(a, std::min((pixel >> 16) & 0xFF, a), std::min((pixel >> 8) & 0xFF, a), std::min(pixel & 0xFF, a));
    }
    return image;
}

std::uint32_t expand5To8(std::uint32_t value) {
    return (value << 3) | (value >> 2);
}

std::optional<Image> decodeLossless(std::span<const std::uint8_t> body, bool withAlpha) {
    if (body.size() < 5) return std::nullopt;
    const int format = body[0];
    const int width = static_cast<int>(readLittleEndian16(body, 1));
    const int height = static_cast<int>(readLittleEndian16(body, 3));
    if (!acceptableSize(width, height)) return std::nullopt;

    std::size_t dataAt = 5;
    std::size_t colors = 0;
    std::size_t bytesPerPixel = 0;
    switch (format) {
        case kColormapped8:
            if (body.size() < 6) return std::nullopt;
            colors = std::size_t{body[5]} + 1;
            dataAt = 6;
            bytesPerPixel = 1;
            break;
        case kRgb15:
            bytesPerPixel = 2;
            break;
        case kRgb32:
            bytesPerPixel = 4;
            break;
        default:
            return std::nullopt;
    }
    const std::size_t entrySize = withAlpha ? 4 : 3;
    const std::size_t paletteSize = colors * entrySize;
    const std::size_t rowSize = static_cast<std::size_t>(width) * bytesPerPixel;
    const std::size_t stride = (rowSize + 3) & ~std::size_t{3};  // rows padded to 32 bits
    // The last row's padding holds no pixel: data that stops short of it still has the picture.
    const std::size_t needed = paletteSize + stride * (height - 1) + rowSize;
    const std::vector<std::uint8_t> data = detail::inflateLimited(body.subspan(dataAt), paletteSize + stride * height);
    if (data.size() < needed) return std::nullopt;

    Image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    std::vector<std::uint32_t> palette(256, 0);  // indices past the colour table are transparent
    for (std::size_t i = 0; i < colors; ++i) {
        const std::uint8_t* entry = data.data() + i * entrySize;
        palette[i] = packArgb(withAlpha ? entry[3] : 255, entry[0], entry[1], entry[2]);
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = data.data() + paletteSize + stride * y;
        std::uint32_t* target = image.pixels.data() + static_cast<std::size_t>(width) * y;
        for (int x = 0; x < width; ++x) {
            if (format == kColormapped8) {
                target[x] = palette[row[x]];
            } else if (format == kRgb15) {
                const std::uint32_t value = (std::uint32_t{row[2 * x]} << 8) | row[2 * x + 1];
                target[x] = packArgb(255, expand5To8((value >> 10) & 31), expand5To8((value >> 5) & 31),
                                     expand5To8(value & 31));
            } else {
                // ARGB, premultiplied by the writer in DefineBitsLossless2; an unused byte in
                // DefineBitsLossless.
                const std::uint8_t* p = row + 4 * x;
                target[x] = packArgb(withAlpha ? p[0] : 255, p[1], p[2], p[3]);
            }
        }
    }
    return image;
}

}  // namespace

namespace detail {

std::vector<std::uint8_t> inflateLimited(std::span<const std::uint8_t> data, std::size_t maxSize) {
    // The buffer grows with what actually inflates: a few bytes claiming a huge picture must not
    // allocate for it.
    std::vector<std::uint8_t> out(std::min<std::size_t>(maxSize, 1 << 16));
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return {};
    std::size_t consumed = 0;
    std::size_t produced = 0;
    int result = Z_OK;
    // zlib counts in 32 bits; feeding it in pieces keeps any size within them.
    constexpr std::size_t kPiece = 1u << 30;
    while (result == Z_OK && produced < maxSize) {
        if (produced == out.size()) out.resize(std::min(maxSize, out.size() * 2));
        const std::size_t inPiece = std::min(kPiece, data.size() - consumed);
        const std::size_t outPiece = std::min(kPiece, out.size() - produced);
        stream.next_in = const_cast<Bytef*>(data.data() + consumed);
        stream.avail_in = static_cast<uInt>(inPiece);
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(outPiece);
        result = inflate(&stream, Z_NO_FLUSH);
        consumed += inPiece - stream.avail_in;
        produced += outPiece - stream.avail_out;
        if (result == Z_BUF_ERROR && stream.avail_in == 0 && consumed < data.size()) result = Z_OK;
    }
    inflateEnd(&stream);
    out.resize(produced);
    return out;
}

}  // namespace detail

std::optional<Image> decodeBitmapTag(int tagCode, std::span<const std::uint8_t> body,
                                     std::span<const std::uint8_t> jpegTables) {
    switch (tagCode) {
        case kDefineBits:
            return detail::decodeJpeg(jpegTables, body);
        case kDefineBitsJpeg2:
            return decodeJpegOrOther({}, body);
        case kDefineBitsJpeg3:
            return decodeJpegWithAlpha(body, 4);
        case kDefineBitsJpeg4:
            return decodeJpegWithAlpha(body, 6);  // AlphaDataOffset, then a deblocking strength
        case kDefineBitsLossless:
            return decodeLossless(body, false);
        case kDefineBitsLossless2:
            return decodeLossless(body, true);
        default:
            return std::nullopt;
    }
}

}  // namespace flashgrab
