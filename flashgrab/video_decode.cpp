// The frames of DefineVideoStream streams, through libavcodec.

#include "flashgrab/video_decode.h"

#include <cstring>

#include "flashgrab/av_library.h"
#include "flashgrab/decode_support.h"
#include "flashgrab/h263_deblock.h"

namespace flashgrab {

namespace {

AVCodecID codecFor(int codecId) {
    switch (codecId) {
        case 2:
            return AV_CODEC_ID_FLV1;  // Sorenson H.263
        case 3:
            return AV_CODEC_ID_FLASHSV;
        case 4:
            return AV_CODEC_ID_VP6F;  // VP6 as in FLV: not upside down
        case 5:
            return AV_CODEC_ID_VP6A;
        case 6:
            return AV_CODEC_ID_FLASHSV2;
        default:
            return AV_CODEC_ID_NONE;
    }
}

// Screen video version 2 blocks may be coded against the last key frame, which libavcodec keeps
// only from packets flagged as key frames. FLV carries that flag in its own header, SWF does not:
// a frame whose every block is present and coded on its own is taken as one.
bool isSelfContainedScreenFrame(std::span<const std::uint8_t> data, bool version2) {
    std::size_t pos = 4;
    if (data.size() < pos) return false;
    const std::size_t blockWidth = 16 * (std::size_t{data[0]} >> 4) + 16;
    const std::size_t width = ((std::size_t{data[0]} & 0x0F) << 8) | data[1];
    const std::size_t blockHeight = 16 * (std::size_t{data[2]} >> 4) + 16;
    const std::size_t height = ((std::size_t{data[2]} & 0x0F) << 8) | data[3];
    if (width == 0 || height == 0) return false;
    if (version2) {
        if (pos >= data.size() || (data[pos] & 0x03) != 0) return false;  // I-frame image or palette
        ++pos;
    }
    const std::size_t blocks = ((width + blockWidth - 1) / blockWidth) * ((height + blockHeight - 1) / blockHeight);
    for (std::size_t i = 0; i < blocks; ++i) {
        if (pos + 2 > data.size()) return false;
        const std::size_t size = (std::size_t{data[pos]} << 8) | data[pos + 1];
        pos += 2;
        if (size == 0) return false;  // unchanged: kept from the frame before
        if (version2) {
            constexpr std::uint8_t kHasDiff = 0x04, kPrimeFromPrevious = 0x01;
            if (pos >= data.size() || (data[pos] & (kHasDiff | kPrimeFromPrevious)) != 0) return false;
        }
        pos += size;
    }
    return pos <= data.size();
}

}  // namespace

struct VideoStreamDecoder::State {
    explicit State(const detail::AvLibrary& library) : av(library) {}
    const detail::AvLibrary& av;
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* scaler = nullptr;
    int codecId = 0;
    int width = 0;
    int height = 0;
    VideoDisplay display;
    AVFrame* smoothed = nullptr;

    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        av.freeScaler(scaler);
        av.frameFree(&smoothed);
        av.frameFree(&frame);
        av.packetFree(&packet);
        av.freeContext(&context);
    }
};

namespace {

// Copies the decoded YUV 4:2:0 picture into copy (allocated when null) and deblocks it; the decoder keeps
// the unfiltered picture to predict the next one from. False when the picture is in another format.
bool smoothedCopy(const detail::AvLibrary& av, const AVFrame& source, AVFrame*& copy, int strength) {
    if (source.format != AV_PIX_FMT_YUV420P) return false;
    if (!copy && !(copy = av.frameAlloc())) return false;
    copy->format = source.format;
    copy->width = source.width;
    copy->height = source.height;
    if (av.frameGetBuffer(copy, 0) < 0) return false;
    if (av.frameCopy(copy, &source) < 0 || av.frameCopyProps(copy, &source) < 0) {
        av.frameUnref(copy);
        return false;
    }
    const int chromaWidth = (source.width + 1) / 2, chromaHeight = (source.height + 1) / 2;
    deblockPlane(copy->data[0], source.width, source.height, copy->linesize[0], strength);
    deblockPlane(copy->data[1], chromaWidth, chromaHeight, copy->linesize[1], strength);
    deblockPlane(copy->data[2], chromaWidth, chromaHeight, copy->linesize[2], strength);
    return true;
}

}  // namespace

VideoStreamDecoder::VideoStreamDecoder(int codecId, int width, int height, VideoDisplay display) {
    const AVCodecID id = codecFor(codecId);
    if (id == AV_CODEC_ID_NONE || !detail::acceptableSize(width, height)) return;
    const detail::AvLibrary* av = detail::avLibrary();
    if (av == nullptr) return;
    const AVCodec* codec = av->findDecoder(id);
    if (codec == nullptr) return;
    auto state = std::make_unique<State>(*av);
    state->codecId = codecId;
    state->width = width;
    state->height = height;
    state->display = display;
    state->context = av->allocContext(codec);
    state->packet = av->packetAlloc();
    state->frame = av->frameAlloc();
    if (state->context == nullptr || state->packet == nullptr || state->frame == nullptr) return;
    // The stream's size lets the VP6 decoder crop its 16-pixel macroblock size to the picture
    // instead of scaling it; SWF has no crop byte of its own as FLV has.
    state->context->width = width;
    state->context->height = height;
    // One thread: frame threading would hand each picture back only some frames later.
    state->context->thread_count = 1;
    state->context->max_pixels = static_cast<std::int64_t>(detail::kMaxImageSide) * detail::kMaxImageSide;
    if (av->open(state->context, codec, nullptr) < 0) return;
    state_ = std::move(state);
}

VideoStreamDecoder::~VideoStreamDecoder() = default;
VideoStreamDecoder::VideoStreamDecoder(VideoStreamDecoder&&) noexcept = default;
VideoStreamDecoder& VideoStreamDecoder::operator=(VideoStreamDecoder&&) noexcept = default;

std::optional<Image> VideoStreamDecoder::decode(std::span<const std::uint8_t> frameData) {
    // An empty packet would tell libavcodec that the stream has ended, after which it takes no
    // more frames.
    if (!state_ || frameData.empty()) return std::nullopt;
    if (frameData.size() > static_cast<std::size_t>(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)) return std::nullopt;
    const detail::AvLibrary& av = state_->av;
    AVPacket* packet = state_->packet;
    // av_new_packet adds the zeroed padding that libavcodec's bit readers may read into.
    if (av.newPacket(packet, static_cast<int>(frameData.size())) < 0) return std::nullopt;
    std::memcpy(packet->data, frameData.data(), frameData.size());
    const bool screenVideo = state_->codecId == 3 || state_->codecId == 6;
    if (screenVideo && isSelfContainedScreenFrame(frameData, state_->codecId == 6)) packet->flags |= AV_PKT_FLAG_KEY;
    const int sent = av.sendPacket(state_->context, packet);
    av.packetUnref(packet);
    if (sent < 0) return std::nullopt;

    // Sorenson pictures may ask to have their block edges smoothed for display (libavcodec skips the
    // flag); the stream's setting can force that on or off.
    int strength = 0;
    const int deblocking = state_->display.deblocking;
    if (state_->codecId == 2 && deblocking != 1) {
        auto header = readSorensonDeblocking(frameData);
        if (header && (deblocking == 2 || (deblocking == 0 && header->requested)))
            strength = deblockStrength(header->quantizer);
    }
    std::optional<Image> image;
    // These codecs give one picture per packet; should one give more, the last one is current.
    while (av.receiveFrame(state_->context, state_->frame) == 0) {
        if (strength > 0 && smoothedCopy(av, *state_->frame, state_->smoothed, strength)) {
            image = detail::frameToImage(av, *state_->smoothed, state_->width, state_->height, &state_->scaler);
            av.frameUnref(state_->smoothed);
            av.frameUnref(state_->frame);
            continue;
        }
        image = detail::frameToImage(av, *state_->frame, state_->width, state_->height, &state_->scaler,
                                     state_->codecId == 5 && state_->display.premultipliedAlpha
                                         ? detail::AlphaKind::Premultiplied
                                         : detail::AlphaKind::Straight);
        av.frameUnref(state_->frame);
    }
    return image;
}

}  // namespace flashgrab
