// Pictures through libavcodec and libswscale: video frames and the PNG/GIF data of bitmap tags.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "flashgrab/av_library.h"
#include "flashgrab/decode_support.h"

namespace flashgrab::detail {

namespace {

constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t readBigEndian32(std::span<const std::uint8_t> data, std::size_t at) {
    return (std::uint32_t{data[at]} << 24) | (std::uint32_t{data[at + 1]} << 16) | (std::uint32_t{data[at + 2]} << 8) |
           data[at + 3];
}

// The size in the header, checked before libavcodec allocates anything for the picture.
bool headerSizeAcceptable(std::span<const std::uint8_t> data) {
    if (isPng(data)) {
        // signature, IHDR length and type, then width and height
        return data.size() >= 24 && acceptableSize(readBigEndian32(data, 16), readBigEndian32(data, 20));
    }
    return data.size() >= 10 && acceptableSize(data[6] | (data[7] << 8), data[8] | (data[9] << 8));
}

// Only ever given what the loaded library made, so the library is there to free it.
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avLibrary()->freeContext(&context); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { avLibrary()->packetFree(&packet); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { avLibrary()->frameFree(&frame); }
};

}  // namespace

void premultiply(std::vector<std::uint32_t>& pixels) {
    for (std::uint32_t& pixel : pixels) {
        const std::uint32_t a = pixel >> 24;
        if (a == 255) continue;
        pixel = packArgb(a, premultiplyChannel((pixel >> 16) & 0xFF, a), premultiplyChannel((pixel >> 8) & 0xFF, a),
                         premultiplyChannel(pixel & 0xFF, a));
    }
}

std::optional<Image> frameToImage(const AvLibrary& av, const AVFrame& frame, int width, int height, SwsContext** cache,
                                  AlphaKind alpha) {
    if (!acceptableSize(width, height) || frame.width <= 0 || frame.height <= 0 || frame.format < 0)
        return std::nullopt;
    const auto format = static_cast<AVPixelFormat>(frame.format);
    const AVPixFmtDescriptor* descriptor = av.pixelFormatDescriptor(format);
    if (descriptor == nullptr) return std::nullopt;
    // AV_PIX_FMT_RGB32 is ARGB in a native-endian 32-bit value, the layout cairo draws from.
    *cache = av.cachedScaler(*cache, frame.width, frame.height, format, width, height, AV_PIX_FMT_RGB32, SWS_BICUBIC,
                             nullptr, nullptr, nullptr);
    if (*cache == nullptr) return std::nullopt;
    // libswscale's vector code writes whole blocks of pixels, past the end of a row whose width
    // is not a multiple of the block (yuva420p to ARGB at 600 pixels overran a tight buffer and
    // corrupted the heap). It writes into rows padded to 64 pixels, with a spare row below.
    const std::size_t stride = (static_cast<std::size_t>(width) + 63) & ~std::size_t{63};
    std::vector<std::uint32_t> scaled(stride * (static_cast<std::size_t>(height) + 1));
    std::uint8_t* const planes[4] = {reinterpret_cast<std::uint8_t*>(scaled.data()), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(stride * 4), 0, 0, 0};
    if (av.scale(*cache, frame.data, frame.linesize, 0, frame.height, planes, strides) != height) return std::nullopt;
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        std::copy_n(scaled.begin() + static_cast<std::ptrdiff_t>(stride * y), width,
                    image.pixels.begin() + static_cast<std::ptrdiff_t>(width) * y);
    }
    // Palette pictures (GIF) carry their transparency in the palette.
    const bool hasAlpha = (descriptor->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL)) != 0;
    if (hasAlpha && alpha == AlphaKind::Premultiplied) {
        // Only clamped: a colour above its alpha is no valid premultiplied colour.
        for (std::uint32_t& pixel : image.pixels) {
            const std::uint32_t a = pixel >> 24;
            pixel = packArgb(a, std::min((pixel >> 16) & 0xFF, a), std::min((pixel >> 8) & 0xFF, a),
                             std::min(pixel & 0xFF, a));
        }
    } else if (hasAlpha) {
        premultiply(image.pixels);
    } else {
        for (std::uint32_t& pixel : image.pixels) pixel |= 0xFF000000u;
    }
    return image;
}

bool isPng(std::span<const std::uint8_t> data) {
    return data.size() >= sizeof kPngSignature && std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) == 0;
}

bool isGif(std::span<const std::uint8_t> data) {
    return data.size() >= 6 &&
           (std::memcmp(data.data(), "GIF89a", 6) == 0 || std::memcmp(data.data(), "GIF87a", 6) == 0);
}

std::optional<Image> decodePngOrGif(std::span<const std::uint8_t> data) {
    if ((!isPng(data) && !isGif(data)) || !headerSizeAcceptable(data)) return std::nullopt;
    if (data.size() > static_cast<std::size_t>(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)) return std::nullopt;
    const AvLibrary* av = avLibrary();
    if (av == nullptr) return std::nullopt;
    const AVCodec* codec = av->findDecoder(isPng(data) ? AV_CODEC_ID_PNG : AV_CODEC_ID_GIF);
    if (codec == nullptr) return std::nullopt;
    std::unique_ptr<AVCodecContext, CodecContextDeleter> context(av->allocContext(codec));
    std::unique_ptr<AVPacket, PacketDeleter> packet(av->packetAlloc());
    std::unique_ptr<AVFrame, FrameDeleter> frame(av->frameAlloc());
    if (!context || !packet || !frame) return std::nullopt;
    // One thread: frame threading would hold the picture back until a flush.
    context->thread_count = 1;
    context->max_pixels = static_cast<std::int64_t>(kMaxImageSide) * kMaxImageSide;
    if (av->open(context.get(), codec, nullptr) < 0) return std::nullopt;
    // av_new_packet adds the zeroed padding that libavcodec's bit readers may read into.
    if (av->newPacket(packet.get(), static_cast<int>(data.size())) < 0) return std::nullopt;
    std::memcpy(packet->data, data.data(), data.size());
    if (av->sendPacket(context.get(), packet.get()) < 0) return std::nullopt;
    int received = av->receiveFrame(context.get(), frame.get());
    if (received == AVERROR(EAGAIN)) {
        av->sendPacket(context.get(), nullptr);
        received = av->receiveFrame(context.get(), frame.get());
    }
    if (received < 0 || !acceptableSize(frame->width, frame->height)) return std::nullopt;
    SwsContext* scaler = nullptr;
    std::optional<Image> image = frameToImage(*av, *frame, frame->width, frame->height, &scaler);
    av->freeScaler(scaler);
    return image;
}

}  // namespace flashgrab::detail
