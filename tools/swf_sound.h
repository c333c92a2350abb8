#pragma once

// The sounds of a movie: its DefineSound tags and the main timeline's sound stream, and the
// decoders that turn the ones that are not MP3 into WAV files.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/swf_reader.h"

namespace swf {

enum SoundFormat : int {
    kPcmNativeEndian = 0,
    kAdpcm = 1,
    kMp3 = 2,
    kPcmLittleEndian = 3,
    kNellymoser16kHz = 4,
    kNellymoser8kHz = 5,
    kNellymoser = 6,
    kG711ALaw = 7,
    kG711MuLaw = 8,
    kSpeex = 11,
};

// The format byte shared by DefineSound and the sound stream heads.
struct SoundInfo {
    int format = 0;
    int rateHz = 0;
    bool sixteenBit = false;
    bool stereo = false;
    uint8_t formatByte = 0;
};

struct DefinedSound {
    uint16_t id = 0;
    SoundInfo info;
    uint32_t sampleCount = 0;  // per channel
    std::string_view data;     // a view into the Movie's body
};

struct SoundStream {
    bool present = false;  // a SoundStreamHead or SoundStreamHead2 on the timeline it was read from
    SoundInfo info;
    size_t blocksWithData = 0;
    std::string mp3;  // the MP3 frames of all blocks, when the stream is MP3
};

// Throws Error for a DefineSound too short for its own header.
std::vector<DefinedSound> definedSounds(const Movie& movie);
// The stream of the main timeline; when that has none with data, the first sprite's that has.
SoundStream mainSoundStream(const Movie& movie);

// Whether swfextract -s can write this format (MP3 as MP3, the others as WAV).
bool canExtract(int format);
std::string formatName(int format);

// 16-bit little-endian samples, channels interleaved, at most sampleCount per channel.
std::string decodeAdpcm(std::string_view data, bool stereo, uint32_t sampleCount);
std::string decodeG711(std::string_view data, bool aLaw);
std::string wavFile(int rateHz, int channels, int bitsPerSample, std::string_view samples);

// Writes the sound (not MP3) to target as a WAV file; throws Error when it cannot.
void writeSoundAsWav(const DefinedSound& sound, const std::string& target, const std::string& input);

}  // namespace swf
