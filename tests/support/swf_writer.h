#pragma once

// A small SWF writer for tests: stage, shapes, sprites, the display list and sounds, written as
// an uncompressed, zlib- or LZMA-compressed file. Throws std::invalid_argument for values the
// file format cannot hold.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvane::test {

enum class SwfCompression { None, Zlib, Lzma };

struct SwfRgb {
    uint8_t red = 0, green = 0, blue = 0;
};

// Multipliers in 1/256ths (256 keeps the colour), additions in colour steps.
struct SwfColorTransform {
    int redMul = 256, greenMul = 256, blueMul = 256, alphaMul = 256;
    int redAdd = 0, greenAdd = 0, blueAdd = 0, alphaAdd = 0;
};

struct SwfLineStyle {
    double widthPx = 1;
    SwfRgb color;
};

// One MPEG audio layer III frame and what its header says.
struct Mp3Frame {
    std::string bytes;
    int sampleRate = 0;
    int channels = 0;
    int samples = 0;  // per channel: 1152 (MPEG-1) or 576 (MPEG-2 and 2.5)
};

// The audio frames of an MP3 file, skipping an ID3v2 tag and the encoder's Xing/Info frame.
// Throws std::invalid_argument at anything that is not a layer III frame.
std::vector<Mp3Frame> splitMp3Frames(const std::string& mp3);
std::string joinMp3Frames(const std::vector<Mp3Frame>& frames);

// A timeline's tags: the movie's main timeline or a sprite's.
class SwfTimeline {
public:
    // PlaceObject2 placing a character at a depth, moved by (xPx, yPx).
    void placeObject(uint16_t character, uint16_t depth, double xPx, double yPx,
                     const std::optional<SwfColorTransform>& colorTransform = std::nullopt,
                     std::optional<uint16_t> ratio = std::nullopt);
    // PlaceObject2 moving what is at depth to (xPx, yPx).
    void moveObject(uint16_t depth, double xPx, double yPx);
    void removeObject(uint16_t depth);
    void showFrame();
    // Any tag, written as given (also for malformed tags).
    void tag(uint16_t code, const std::string& body);

    int frames() const { return frames_; }
    const std::string& tags() const { return tags_; }

private:
    std::string tags_;
    int frames_ = 0;
};

class SwfWriter : public SwfTimeline {
public:
    SwfWriter(int widthPx, int heightPx, double frameRate, uint8_t version = 10);

    void setBackgroundColor(SwfRgb color);
    // DefineShape: a rectangle with its top left corner at the shape's origin.
    uint16_t defineRectangle(double widthPx, double heightPx, SwfRgb fill,
                             const std::optional<SwfLineStyle>& line = std::nullopt);
    uint16_t defineSprite(const SwfTimeline& sprite);

    // A SoundStreamHead for MP3, then per movie frame a SoundStreamBlock with the MP3 frames
    // due by its end, followed by ShowFrame. The last block also takes what is left over.
    void mp3StreamOverFrames(const std::vector<Mp3Frame>& frames, int movieFrames);
    void soundStreamHeadMp3(int sampleRate, bool stereo, uint16_t samplesPerMovieFrame);
    void soundStreamBlockMp3(const std::vector<Mp3Frame>& frames, int16_t seekSamples = 0);

    uint16_t defineSoundMp3(const std::vector<Mp3Frame>& frames, int16_t seekSamples = 0);
    // Uncompressed little-endian 16-bit PCM (format 3); stereo samples interleaved.
    uint16_t defineSoundPcm(const std::vector<int16_t>& samples, int rateHz, bool stereo);
    // SWF ADPCM (format 1) with 2 to 5 bits per code.
    uint16_t defineSoundAdpcm(const std::vector<int16_t>& samples, int rateHz, bool stereo, int codeBits);
    // Any DefineSound: format, rate (5512, 11025, 22050 or 44100), sample size, channels, data.
    uint16_t defineSound(int format, int rateHz, bool sixteenBit, bool stereo, uint32_t sampleCount,
                         const std::string& data);

    // The header's frame count; without it, the number of ShowFrame tags on the main timeline.
    void setFrameCount(uint16_t frames) { frameCount_ = frames; }

    // The whole file, with End appended.
    std::string finish(SwfCompression compression = SwfCompression::None) const;

private:
    uint16_t nextId() { return nextId_++; }

    int widthPx_;
    int heightPx_;
    double frameRate_;
    uint8_t version_;
    uint16_t nextId_ = 1;
    std::optional<uint16_t> frameCount_;
};

// ADPCM as the writer encodes it, for comparing decoders with: 16-bit samples, interleaved.
std::string encodeSwfAdpcm(const std::vector<int16_t>& samples, bool stereo, int codeBits);

}  // namespace torvane::test
