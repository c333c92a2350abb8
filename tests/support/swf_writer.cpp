#include "support/swf_writer.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace torvane::test {

namespace {

constexpr int kTwipsPerPixel = 20;

enum : uint16_t {
    kEnd = 0,
    kShowFrame = 1,
    kDefineShape = 2,
    kSetBackgroundColor = 9,
    kDefineSound = 14,
    kSoundStreamHead = 18,
    kSoundStreamBlock = 19,
    kPlaceObject2 = 26,
    kRemoveObject2 = 28,
    kDefineSprite = 39,
};

void appendU16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xffU);
    out += static_cast<char>((value >> 8) & 0xffU);
}

void appendU32(std::string& out, uint32_t value) {
    appendU16(out, value & 0xffffU);
    appendU16(out, value >> 16);
}

std::string tagBytes(uint16_t code, const std::string& body) {
    std::string out;
    // The short form holds lengths up to 62; 63 marks the long form.
    if (body.size() < 0x3f) {
        appendU16(out, static_cast<uint32_t>(code << 6) | static_cast<uint32_t>(body.size()));
    } else {
        appendU16(out, static_cast<uint32_t>(code << 6) | 0x3fU);
        appendU32(out, static_cast<uint32_t>(body.size()));
    }
    return out + body;
}

int twips(double px) {
    return static_cast<int>(std::lround(px * kTwipsPerPixel));
}

class BitWriter {
public:
    void unsignedBits(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (used_ % 8 == 0) bytes_ += '\0';
            if (((value >> i) & 1U) != 0) bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> (used_ % 8)));
            ++used_;
        }
    }
    void signedBits(int value, int count) { unsignedBits(static_cast<uint32_t>(value) & ((1U << count) - 1), count); }
    // Pads to a whole byte and hands the bytes over.
    std::string take() {
        used_ = 0;
        return std::exchange(bytes_, {});
    }

private:
    std::string bytes_;
    int used_ = 0;
};

// Bits a signed field needs to hold every value.
int signedBitsFor(std::initializer_list<int> values) {
    int bits = 1;
    for (const int value : values) {
        while (value < -(1 << (bits - 1)) || value >= (1 << (bits - 1))) ++bits;
    }
    return bits;
}

std::string rect(int xMin, int xMax, int yMin, int yMax) {
    BitWriter bits;
    const int n = signedBitsFor({xMin, xMax, yMin, yMax});
    bits.unsignedBits(static_cast<uint32_t>(n), 5);
    for (const int value : {xMin, xMax, yMin, yMax}) bits.signedBits(value, n);
    return bits.take();
}

std::string rgb(SwfRgb color) {
    return {static_cast<char>(color.red), static_cast<char>(color.green), static_cast<char>(color.blue)};
}

int rateCode(int rateHz) {
    switch (rateHz) {
        case 5512:
            return 0;
        case 11025:
            return 1;
        case 22050:
            return 2;
        case 44100:
            return 3;
        default:
            throw std::invalid_argument("SWF sounds have no rate " + std::to_string(rateHz));
    }
}

uint8_t soundFormatByte(int format, int rateHz, bool sixteenBit, bool stereo) {
    return static_cast<uint8_t>((format << 4) | (rateCode(rateHz) << 2) | (sixteenBit ? 2 : 0) | (stereo ? 1 : 0));
}

std::string zlibCompress(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("zlib compression failed");
    }
    out.resize(size);
    return out;
}

// Raw LZMA1 data with its 5 property bytes in front, as ZWS files hold it.
std::string lzmaCompress(const std::string& data) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6) != 0) throw std::runtime_error("no LZMA preset");
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::array<uint8_t, 5> props{};
    if (lzma_properties_encode(&filters[0], props.data()) != LZMA_OK) throw std::runtime_error("LZMA properties");
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_encoder(&stream, filters) != LZMA_OK) throw std::runtime_error("LZMA encoder");
    std::string out(data.size() + data.size() / 2 + 1024, '\0');
    stream.next_in = reinterpret_cast<const uint8_t*>(data.data());
    stream.avail_in = data.size();
    stream.next_out = reinterpret_cast<uint8_t*>(out.data());
    stream.avail_out = out.size();
    const lzma_ret status = lzma_code(&stream, LZMA_FINISH);
    out.resize(out.size() - stream.avail_out);
    lzma_end(&stream);
    if (status != LZMA_STREAM_END) throw std::runtime_error("LZMA compression failed");
    return std::string(props.begin(), props.end()) + out;
}

constexpr std::array<int, 89> kAdpcmSteps = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

int adpcmIndexChange(int codeBits, uint32_t magnitude) {
    static const std::array<std::vector<int>, 4> kChanges = {
        std::vector<int>{-1, 2}, std::vector<int>{-1, -1, 2, 4}, std::vector<int>{-1, -1, -1, -1, 2, 4, 6, 8},
        std::vector<int>{-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16}};
    return kChanges[codeBits - 2][magnitude];
}

struct AdpcmEncoderChannel {
    int predicted = 0;
    int index = 0;

    uint32_t encode(int target, int codeBits) {
        const uint32_t signBit = 1U << (codeBits - 1);
        int delta = target - predicted;
        uint32_t code = 0;
        if (delta < 0) {
            code = signBit;
            delta = -delta;
        }
        int step = kAdpcmSteps[index];
        int difference = 0;
        for (uint32_t bit = signBit >> 1; bit != 0; bit >>= 1, step >>= 1) {
            if (delta >= step) {
                code |= bit;
                delta -= step;
                difference += step;
            }
        }
        // The decoder adds the remaining half step; the encoder must track the same value.
        difference += step;
        predicted = std::clamp((code & signBit) != 0 ? predicted - difference : predicted + difference, -32768, 32767);
        index = std::clamp(index + adpcmIndexChange(codeBits, code & (signBit - 1)), 0, 88);
        return code;
    }
};

}  // namespace

std::vector<Mp3Frame> splitMp3Frames(const std::string& mp3) {
    static constexpr std::array<int, 16> kMpeg1Kbps = {0,   32,  40,  48,  56,  64,  80,  96,
                                                       112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr std::array<int, 16> kMpeg2Kbps = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};
    std::vector<Mp3Frame> frames;
    size_t at = 0;
    if (mp3.size() >= 10 && mp3.compare(0, 3, "ID3") == 0) {
        // The ID3v2 size is "syncsafe": 7 bits per byte.
        size_t size = 0;
        for (int i = 6; i < 10; ++i) size = (size << 7) | (static_cast<uint8_t>(mp3[i]) & 0x7fU);
        at = 10 + size;
    }
    while (at + 4 <= mp3.size()) {
        const auto byte = [&](size_t i) { return static_cast<uint8_t>(mp3[at + i]); };
        if (byte(0) != 0xff || (byte(1) & 0xe0) != 0xe0 || ((byte(1) >> 1) & 3) != 1) {
            throw std::invalid_argument("no MPEG layer III frame at byte " + std::to_string(at));
        }
        const int version = (byte(1) >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
        const int bitrateIndex = byte(2) >> 4;
        const int rateIndex = (byte(2) >> 2) & 3;
        if (version == 1 || rateIndex == 3 || bitrateIndex == 0 || bitrateIndex == 15) {
            throw std::invalid_argument("unsupported MP3 frame header at byte " + std::to_string(at));
        }
        Mp3Frame frame;
        frame.sampleRate = kMpeg1Rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
        frame.channels = (byte(3) >> 6) == 3 ? 1 : 2;
        frame.samples = version == 3 ? 1152 : 576;
        const int kbps = version == 3 ? kMpeg1Kbps[bitrateIndex] : kMpeg2Kbps[bitrateIndex];
        const size_t length =
            static_cast<size_t>(frame.samples / 8 * kbps * 1000 / frame.sampleRate + ((byte(2) >> 1) & 1));
        if (at + length > mp3.size()) break;  // a cut-off last frame is no frame
        frame.bytes = mp3.substr(at, length);
        at += length;
        // The encoder's first frame may carry stream information instead of sound.
        const std::string head = frame.bytes.substr(0, 48);
        if (frames.empty() && (head.find("Xing") != std::string::npos || head.find("Info") != std::string::npos)) {
            continue;
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::string joinMp3Frames(const std::vector<Mp3Frame>& frames) {
    std::string out;
    for (const Mp3Frame& frame : frames) out += frame.bytes;
    return out;
}

namespace {

// A MATRIX record without scale or rotation: translation only.
std::string translationMatrix(double xPx, double yPx) {
    BitWriter bits;
    const int x = twips(xPx), y = twips(yPx);
    const int n = signedBitsFor({x, y});
    bits.unsignedBits(0, 2);
    bits.unsignedBits(static_cast<uint32_t>(n), 5);
    bits.signedBits(x, n);
    bits.signedBits(y, n);
    return bits.take();
}

}  // namespace

void SwfTimeline::placeObject(uint16_t character, uint16_t depth, double xPx, double yPx,
                              const std::optional<SwfColorTransform>& colorTransform, std::optional<uint16_t> ratio) {
    std::string body;
    body += static_cast<char>(0x02 | 0x04 | (colorTransform ? 0x08 : 0) | (ratio ? 0x10 : 0));
    appendU16(body, depth);
    appendU16(body, character);
    body += translationMatrix(xPx, yPx);
    BitWriter bits;
    if (colorTransform) {
        const SwfColorTransform& c = *colorTransform;
        const int m =
            signedBitsFor({c.redMul, c.greenMul, c.blueMul, c.alphaMul, c.redAdd, c.greenAdd, c.blueAdd, c.alphaAdd});
        bits.unsignedBits(3, 2);  // both add and multiply terms
        bits.unsignedBits(static_cast<uint32_t>(m), 4);
        for (const int value :
             {c.redMul, c.greenMul, c.blueMul, c.alphaMul, c.redAdd, c.greenAdd, c.blueAdd, c.alphaAdd}) {
            bits.signedBits(value, m);
        }
        body += bits.take();
    }
    if (ratio) appendU16(body, *ratio);
    tag(kPlaceObject2, body);
}

void SwfTimeline::moveObject(uint16_t depth, double xPx, double yPx) {
    std::string body;
    body += static_cast<char>(0x01 | 0x04);
    appendU16(body, depth);
    tag(kPlaceObject2, body + translationMatrix(xPx, yPx));
}

void SwfTimeline::removeObject(uint16_t depth) {
    std::string body;
    appendU16(body, depth);
    tag(kRemoveObject2, body);
}

void SwfTimeline::showFrame() {
    tag(kShowFrame, {});
    ++frames_;
}

void SwfTimeline::tag(uint16_t code, const std::string& body) {
    tags_ += tagBytes(code, body);
}

SwfWriter::SwfWriter(int widthPx, int heightPx, double frameRate, uint8_t version)
    : widthPx_(widthPx), heightPx_(heightPx), frameRate_(frameRate), version_(version) {
    if (frameRate < 0 || frameRate >= 256) throw std::invalid_argument("frame rate out of range");
}

void SwfWriter::setBackgroundColor(SwfRgb color) {
    tag(kSetBackgroundColor, rgb(color));
}

uint16_t SwfWriter::defineRectangle(double widthPx, double heightPx, SwfRgb fill,
                                    const std::optional<SwfLineStyle>& line) {
    const uint16_t id = nextId();
    const int w = twips(widthPx), h = twips(heightPx);
    const int halfLine = line ? twips(line->widthPx) / 2 : 0;
    std::string body;
    appendU16(body, id);
    body += rect(-halfLine, w + halfLine, -halfLine, h + halfLine);
    body += '\x01';  // one fill style: solid
    body += '\x00';
    body += rgb(fill);
    if (line) {
        body += '\x01';
        appendU16(body, static_cast<uint32_t>(twips(line->widthPx)));
        body += rgb(line->color);
    } else {
        body += '\x00';
    }
    BitWriter bits;
    bits.unsignedBits(1, 4);             // fill style index bits
    bits.unsignedBits(line ? 1 : 0, 4);  // line style index bits
    // Style change: move to the origin, fill 1 (right of the clockwise edges), the line style.
    bits.unsignedBits(0, 1);
    bits.unsignedBits(0, 1);             // no new styles
    bits.unsignedBits(line ? 1 : 0, 1);  // line style
    bits.unsignedBits(1, 1);             // fill style 1
    bits.unsignedBits(0, 1);             // fill style 0
    bits.unsignedBits(1, 1);             // move to
    bits.unsignedBits(1, 5);
    bits.signedBits(0, 1);
    bits.signedBits(0, 1);
    bits.unsignedBits(1, 1);
    if (line) bits.unsignedBits(1, 1);
    const auto edge = [&bits](int dx, int dy) {
        const int n = std::max(signedBitsFor({dx, dy}), 2);
        bits.unsignedBits(1, 1);  // edge
        bits.unsignedBits(1, 1);  // straight
        bits.unsignedBits(static_cast<uint32_t>(n - 2), 4);
        bits.unsignedBits(0, 1);  // not a general line: vertical or horizontal
        bits.unsignedBits(dx == 0 ? 1 : 0, 1);
        bits.signedBits(dx == 0 ? dy : dx, n);
    };
    edge(w, 0);
    edge(0, h);
    edge(-w, 0);
    edge(0, -h);
    bits.unsignedBits(0, 6);  // end of shape
    body += bits.take();
    tag(kDefineShape, body);
    return id;
}

uint16_t SwfWriter::defineSprite(const SwfTimeline& sprite) {
    const uint16_t id = nextId();
    std::string body;
    appendU16(body, id);
    appendU16(body, static_cast<uint32_t>(sprite.frames()));
    body += sprite.tags() + tagBytes(kEnd, {});
    tag(kDefineSprite, body);
    return id;
}

void SwfWriter::soundStreamHeadMp3(int sampleRate, bool stereo, uint16_t samplesPerMovieFrame) {
    std::string body;
    const uint8_t format = soundFormatByte(2, sampleRate, true, stereo);
    body += static_cast<char>(format & 0x0f);  // playback: same rate and channels
    body += static_cast<char>(format);
    appendU16(body, samplesPerMovieFrame);
    appendU16(body, 0);  // latency seek
    tag(kSoundStreamHead, body);
}

void SwfWriter::soundStreamBlockMp3(const std::vector<Mp3Frame>& frames, int16_t seekSamples) {
    std::string body;
    int samples = 0;
    for (const Mp3Frame& frame : frames) samples += frame.samples;
    appendU16(body, static_cast<uint32_t>(samples));
    appendU16(body, static_cast<uint16_t>(seekSamples));
    tag(kSoundStreamBlock, body + joinMp3Frames(frames));
}

void SwfWriter::mp3StreamOverFrames(const std::vector<Mp3Frame>& frames, int movieFrames) {
    if (frames.empty() || movieFrames <= 0) throw std::invalid_argument("an MP3 stream needs frames");
    const double samplesPerMovieFrame = frames.front().sampleRate / frameRate_;
    soundStreamHeadMp3(frames.front().sampleRate, frames.front().channels == 2,
                       static_cast<uint16_t>(std::lround(samplesPerMovieFrame)));
    size_t next = 0;
    long written = 0;
    for (int frame = 0; frame < movieFrames; ++frame) {
        const bool last = frame + 1 == movieFrames;
        const auto due = static_cast<long>(std::lround((frame + 1) * samplesPerMovieFrame));
        std::vector<Mp3Frame> block;
        while (next < frames.size() && (last || written < due)) {
            written += frames[next].samples;
            block.push_back(frames[next++]);
        }
        if (!block.empty()) soundStreamBlockMp3(block);
        showFrame();
    }
}

uint16_t SwfWriter::defineSoundMp3(const std::vector<Mp3Frame>& frames, int16_t seekSamples) {
    if (frames.empty()) throw std::invalid_argument("an MP3 sound needs frames");
    uint32_t samples = 0;
    for (const Mp3Frame& frame : frames) samples += static_cast<uint32_t>(frame.samples);
    std::string data;
    appendU16(data, static_cast<uint16_t>(seekSamples));
    return defineSound(2, frames.front().sampleRate, true, frames.front().channels == 2, samples,
                       data + joinMp3Frames(frames));
}

uint16_t SwfWriter::defineSoundPcm(const std::vector<int16_t>& samples, int rateHz, bool stereo) {
    std::string data;
    for (const int16_t sample : samples) appendU16(data, static_cast<uint16_t>(sample));
    return defineSound(3, rateHz, true, stereo, static_cast<uint32_t>(samples.size() / (stereo ? 2 : 1)), data);
}

uint16_t SwfWriter::defineSoundAdpcm(const std::vector<int16_t>& samples, int rateHz, bool stereo, int codeBits) {
    return defineSound(1, rateHz, true, stereo, static_cast<uint32_t>(samples.size() / (stereo ? 2 : 1)),
                       encodeSwfAdpcm(samples, stereo, codeBits));
}

uint16_t SwfWriter::defineSound(int format, int rateHz, bool sixteenBit, bool stereo, uint32_t sampleCount,
                                const std::string& data) {
    const uint16_t id = nextId();
    std::string body;
    appendU16(body, id);
    body += static_cast<char>(soundFormatByte(format, rateHz, sixteenBit, stereo));
    appendU32(body, sampleCount);
    tag(kDefineSound, body + data);
    return id;
}

std::string SwfWriter::finish(SwfCompression compression) const {
    std::string body = rect(0, widthPx_ * kTwipsPerPixel, 0, heightPx_ * kTwipsPerPixel);
    appendU16(body, static_cast<uint32_t>(std::lround(frameRate_ * 256)));
    appendU16(body, frameCount_ ? *frameCount_ : static_cast<uint32_t>(frames()));
    body += tags() + tagBytes(kEnd, {});

    const auto length = static_cast<uint32_t>(body.size() + 8);
    std::string out = compression == SwfCompression::None ? "FWS" : compression == SwfCompression::Zlib ? "CWS" : "ZWS";
    out += static_cast<char>(version_);
    appendU32(out, length);
    switch (compression) {
        case SwfCompression::None:
            return out + body;
        case SwfCompression::Zlib:
            return out + zlibCompress(body);
        case SwfCompression::Lzma: {
            const std::string packed = lzmaCompress(body);
            appendU32(out, static_cast<uint32_t>(packed.size() - 5));
            return out + packed;
        }
    }
    return out;
}

std::string encodeSwfAdpcm(const std::vector<int16_t>& samples, bool stereo, int codeBits) {
    if (codeBits < 2 || codeBits > 5) throw std::invalid_argument("ADPCM codes have 2 to 5 bits");
    const size_t channels = stereo ? 2 : 1;
    const size_t frames = samples.size() / channels;
    BitWriter bits;
    bits.unsignedBits(static_cast<uint32_t>(codeBits - 2), 2);
    std::array<AdpcmEncoderChannel, 2> state{};
    for (size_t frame = 0; frame < frames; ++frame) {
        for (size_t c = 0; c < channels; ++c) {
            const int sample = samples[frame * channels + c];
            // Every 4096 samples a packet restarts each channel from an exact sample.
            if (frame % 4096 == 0) {
                state[c].predicted = sample;
                bits.signedBits(sample, 16);
                bits.unsignedBits(static_cast<uint32_t>(state[c].index), 6);
            } else {
                bits.unsignedBits(state[c].encode(sample, codeBits), codeBits);
            }
        }
    }
    return bits.take();
}

}  // namespace torvane::test
