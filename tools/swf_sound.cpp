#include "tools/swf_sound.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "tools/output_file.h"

extern char** environ;

namespace swf {

namespace {

constexpr int kAdpcmSamplesPerPacket = 4096;

SoundInfo soundInfo(uint8_t flags) {
    SoundInfo info;
    info.formatByte = flags;
    info.format = flags >> 4;
    static constexpr std::array<int, 4> kRates = {5512, 11025, 22050, 44100};
    info.rateHz = kRates[(flags >> 2) & 3U];
    info.sixteenBit = (flags & 2U) != 0;
    info.stereo = (flags & 1U) != 0;
    // These Nellymoser variants have a fixed rate whatever the rate bits say.
    if (info.format == kNellymoser8kHz) info.rateHz = 8000;
    if (info.format == kNellymoser16kHz || info.format == kSpeex) info.rateHz = 16000;
    return info;
}

void appendU16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xffU);
    out += static_cast<char>((value >> 8) & 0xffU);
}

void appendU32(std::string& out, uint32_t value) {
    appendU16(out, value & 0xffffU);
    appendU16(out, value >> 16);
}

void appendBigEndian(std::string& out, uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xffU);
}

class BitStream {
public:
    explicit BitStream(std::string_view data) : data_(data) {}
    size_t bitsLeft() const { return data_.size() * 8 - bit_; }
    uint32_t read(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++bit_) {
            value = (value << 1) | ((static_cast<uint8_t>(data_[bit_ / 8]) >> (7 - bit_ % 8)) & 1U);
        }
        return value;
    }

private:
    std::string_view data_;
    size_t bit_ = 0;
};

constexpr std::array<int, 89> kAdpcmSteps = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Index changes by code magnitude, one table per code size (2 to 5 bits).
const std::vector<int>& adpcmIndexChanges(int codeBits) {
    static const std::array<std::vector<int>, 4> kTables = {
        std::vector<int>{-1, 2}, std::vector<int>{-1, -1, 2, 4}, std::vector<int>{-1, -1, -1, -1, 2, 4, 6, 8},
        std::vector<int>{-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16}};
    return kTables[codeBits - 2];
}

struct AdpcmChannel {
    int sample = 0;
    int index = 0;

    void decode(uint32_t code, int codeBits) {
        const uint32_t signBit = 1U << (codeBits - 1);
        int step = kAdpcmSteps[index];
        int difference = 0;
        for (uint32_t bit = signBit >> 1; bit != 0; bit >>= 1, step >>= 1) {
            if ((code & bit) != 0) difference += step;
        }
        difference += step;
        sample = std::clamp((code & signBit) != 0 ? sample - difference : sample + difference, -32768, 32767);
        index = std::clamp(index + adpcmIndexChanges(codeBits)[code & (signBit - 1)], 0, 88);
    }
};

void appendSample(std::string& out, int sample) {
    appendU16(out, static_cast<uint16_t>(static_cast<int16_t>(sample)));
}

// ffmpeg next to this program (where the converter keeps its tools), else the one on PATH.
std::string ffmpegProgram() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto beside = self.parent_path() / "ffmpeg";
        if (::access(beside.c_str(), X_OK) == 0) return beside.string();
    }
    return "ffmpeg";
}

int runQuietly(const std::vector<std::string>& argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ffmpeg has no raw Nellymoser input, so the data goes in an FLV file, whose audio tags begin
// with the very format byte DefineSound uses.
std::string flvWithAudio(const DefinedSound& sound) {
    constexpr size_t kBlockBytes = 64;  // one Nellymoser block: 256 samples
    constexpr size_t kBlocksPerTag = 16;
    std::string flv = "FLV";
    flv += '\x01';
    flv += '\x04';
    appendBigEndian(flv, 9, 4);
    appendBigEndian(flv, 0, 4);
    const size_t usable = sound.data.size() - sound.data.size() % kBlockBytes;
    uint64_t samplesBefore = 0;
    for (size_t at = 0; at < usable; at += kBlockBytes * kBlocksPerTag) {
        const std::string_view payload = sound.data.substr(at, std::min(kBlockBytes * kBlocksPerTag, usable - at));
        const auto timestampMs = static_cast<uint32_t>(samplesBefore * 1000 / static_cast<uint64_t>(sound.info.rateHz));
        const auto dataBytes = static_cast<uint32_t>(payload.size() + 1);
        flv += '\x08';
        appendBigEndian(flv, dataBytes, 3);
        appendBigEndian(flv, timestampMs & 0xffffffU, 3);
        flv += static_cast<char>(timestampMs >> 24);
        appendBigEndian(flv, 0, 3);
        flv += static_cast<char>(sound.info.formatByte);
        flv += payload;
        appendBigEndian(flv, dataBytes + 11, 4);
        samplesBefore += payload.size() / kBlockBytes * 256;
    }
    return flv;
}

void writeThroughFfmpeg(const DefinedSound& sound, const std::string& target, const std::string& input) {
    if (sound.data.size() < 64)
        throw Error("sound " + std::to_string(sound.id) + " holds no complete Nellymoser block");
    const char* folder = std::getenv("TMPDIR");
    std::string flvPath = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/swfextract-XXXXXX";
    const int fd = ::mkstemp(flvPath.data());
    if (fd < 0) throw Error("cannot create a temporary file in " + flvPath);
    struct RemoveLater {
        std::string path;
        ~RemoveLater() { ::unlink(path.c_str()); }
    } removeFlv{flvPath};
    const std::string flv = flvWithAudio(sound);
    const bool written = ::write(fd, flv.data(), flv.size()) == static_cast<ssize_t>(flv.size());
    ::close(fd);
    if (!written) throw Error("cannot write the temporary file " + flvPath);

    PendingOutput output(target, input);
    const int status = runQuietly({ffmpegProgram(), "-nostdin", "-v", "error", "-y", "-f", "flv", "-i", flvPath, "-vn",
                                   "-c:a", "pcm_s16le", "-f", "wav", output.temporaryPath()});
    if (status != 0) {
        throw Error("ffmpeg could not decode the " + formatName(sound.info.format) + " sound " +
                    std::to_string(sound.id) + (status < 0 ? " (ffmpeg did not run)" : ""));
    }
    output.commit();
}

}  // namespace

std::vector<DefinedSound> definedSounds(const Movie& movie) {
    std::vector<DefinedSound> sounds;
    for (const Tag& tag : movie.tags) {
        if (tag.code != kDefineSound) continue;
        const std::string_view data = movie.data(tag);
        if (data.size() < 7) throw Error("a DefineSound tag is only " + std::to_string(data.size()) + " bytes long");
        DefinedSound sound;
        sound.id = readU16(data, 0);
        sound.info = soundInfo(static_cast<uint8_t>(data[2]));
        sound.sampleCount = readU32(data, 3);
        sound.data = data.substr(7);
        sounds.push_back(sound);
    }
    return sounds;
}

namespace {

// The stream of one timeline: its first stream head and the blocks after it.
SoundStream timelineSoundStream(const Movie& movie, const std::vector<Tag>& tags) {
    SoundStream stream;
    for (const Tag& tag : tags) {
        const std::string_view data = movie.data(tag);
        if ((tag.code == kSoundStreamHead || tag.code == kSoundStreamHead2) && !stream.present && data.size() >= 4) {
            stream.present = true;
            stream.info = soundInfo(static_cast<uint8_t>(data[1]));
        } else if (tag.code == kSoundStreamBlock && stream.present) {
            // An MP3 block starts with SampleCount and SeekSamples; a block with no frames adds nothing.
            constexpr size_t kMp3BlockHeader = 4;
            if (stream.info.format == kMp3) {
                if (data.size() <= kMp3BlockHeader) continue;
                stream.mp3 += data.substr(kMp3BlockHeader);
            }
            if (!data.empty()) ++stream.blocksWithData;
        }
    }
    return stream;
}

}  // namespace

SoundStream mainSoundStream(const Movie& movie) {
    SoundStream stream = timelineSoundStream(movie, movie.tags);
    if (stream.present && stream.blocksWithData > 0) return stream;
    // Animations often carry their sound in a movie clip's timeline rather than the root's: the
    // first sprite with a stream that has data stands in for the movie's.
    constexpr size_t kSpriteHeader = 4;  // sprite id, frame count
    for (const Tag& tag : movie.tags) {
        if (tag.code != kDefineSprite || tag.length <= kSpriteHeader) continue;
        std::vector<Tag> spriteTags;
        try {
            // Cut at the sprite's end, so a sprite without its End tag does not read the root's.
            const std::string_view upToSpriteEnd = std::string_view(movie.body).substr(0, tag.offset + tag.length);
            spriteTags = parseTags(upToSpriteEnd, tag.offset + kSpriteHeader);
        } catch (const Error&) {
            continue;  // a damaged sprite is skipped, as players skip it
        }
        SoundStream spriteStream = timelineSoundStream(movie, spriteTags);
        if (spriteStream.present && spriteStream.blocksWithData > 0) return spriteStream;
    }
    return stream;
}

bool canExtract(int format) {
    switch (format) {
        case kPcmNativeEndian:
        case kAdpcm:
        case kMp3:
        case kPcmLittleEndian:
        case kNellymoser16kHz:
        case kNellymoser8kHz:
        case kNellymoser:
        case kG711ALaw:
        case kG711MuLaw:
            return true;
        default:
            return false;
    }
}

std::string formatName(int format) {
    switch (format) {
        case kPcmNativeEndian:
        case kPcmLittleEndian:
            return "PCM";
        case kAdpcm:
            return "ADPCM";
        case kMp3:
            return "MP3";
        case kNellymoser16kHz:
        case kNellymoser8kHz:
        case kNellymoser:
            return "Nellymoser";
        case kG711ALaw:
            return "G.711 A-law";
        case kG711MuLaw:
            return "G.711 mu-law";
        case kSpeex:
            return "Speex";
        default:
            return "format " + std::to_string(format);
    }
}

std::string decodeAdpcm(std::string_view data, bool stereo, uint32_t sampleCount) {
    const int channels = stereo ? 2 : 1;
    BitStream bits(data);
    std::string out;
    if (bits.bitsLeft() < 2) return out;
    const int codeBits = static_cast<int>(bits.read(2)) + 2;
    uint32_t produced = 0;
    std::array<AdpcmChannel, 2> state{};
    // Each packet restarts every channel from a 16-bit sample and a 6-bit step index.
    while (produced < sampleCount && bits.bitsLeft() >= static_cast<size_t>(22 * channels)) {
        for (int c = 0; c < channels; ++c) {
            state[c].sample = static_cast<int16_t>(bits.read(16));
            state[c].index = std::min(static_cast<int>(bits.read(6)), 88);
            appendSample(out, state[c].sample);
        }
        ++produced;
        for (int i = 1; i < kAdpcmSamplesPerPacket && produced < sampleCount; ++i, ++produced) {
            if (bits.bitsLeft() < static_cast<size_t>(codeBits * channels)) return out;
            for (int c = 0; c < channels; ++c) {
                state[c].decode(bits.read(codeBits), codeBits);
                appendSample(out, state[c].sample);
            }
        }
    }
    return out;
}

std::string decodeG711(std::string_view data, bool aLaw) {
    std::string out;
    out.reserve(data.size() * 2);
    for (const char byte : data) {
        int sample = 0;
        if (aLaw) {
            const int value = static_cast<uint8_t>(byte) ^ 0x55;
            const int segment = (value & 0x70) >> 4;
            int magnitude = ((value & 0x0f) << 4) + (segment == 0 ? 8 : 0x108);
            if (segment > 1) magnitude <<= segment - 1;
            sample = (value & 0x80) != 0 ? magnitude : -magnitude;
        } else {
            const int value = ~static_cast<uint8_t>(byte) & 0xff;
            const int magnitude = (((value & 0x0f) << 3) + 0x84) << ((value & 0x70) >> 4);
            sample = (value & 0x80) != 0 ? 0x84 - magnitude : magnitude - 0x84;
        }
        appendSample(out, sample);
    }
    return out;
}

std::string wavFile(int rateHz, int channels, int bitsPerSample, std::string_view samples) {
    const auto frameBytes = static_cast<uint32_t>(channels * bitsPerSample / 8);
    // A cut-off last sample frame is dropped rather than misaligning the channels.
    const auto dataBytes = static_cast<uint32_t>(samples.size() - samples.size() % frameBytes);
    std::string out = "RIFF";
    appendU32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    appendU32(out, 16);
    appendU16(out, 1);
    appendU16(out, static_cast<uint32_t>(channels));
    appendU32(out, static_cast<uint32_t>(rateHz));
    appendU32(out, static_cast<uint32_t>(rateHz) * frameBytes);
    appendU16(out, frameBytes);
    appendU16(out, static_cast<uint32_t>(bitsPerSample));
    out += "data";
    appendU32(out, dataBytes);
    out += samples.substr(0, dataBytes);
    return out;
}

void writeSoundAsWav(const DefinedSound& sound, const std::string& target, const std::string& input) {
    const int channels = sound.info.stereo ? 2 : 1;
    // A WAV header without samples would pass for a successful extraction.
    const auto writeWav = [&](int bitsPerSample, std::string_view samples) {
        if (samples.size() < static_cast<size_t>(channels * bitsPerSample / 8)) {
            throw Error("sound " + std::to_string(sound.id) + " holds no samples");
        }
        writeOutput(target, input, wavFile(sound.info.rateHz, channels, bitsPerSample, samples));
    };
    switch (sound.info.format) {
        case kPcmNativeEndian:
        case kPcmLittleEndian:
            // SWF's 8-bit samples are unsigned and its 16-bit ones little-endian, as in WAV.
            writeWav(sound.info.sixteenBit ? 16 : 8, sound.data);
            return;
        case kAdpcm:
            writeWav(16, decodeAdpcm(sound.data, sound.info.stereo, sound.sampleCount));
            return;
        case kG711ALaw:
        case kG711MuLaw:
            writeWav(16, decodeG711(sound.data, sound.info.format == kG711ALaw));
            return;
        case kNellymoser16kHz:
        case kNellymoser8kHz:
        case kNellymoser:
            writeThroughFfmpeg(sound, target, input);
            return;
        default:
            throw Error("sound " + std::to_string(sound.id) + " is " + formatName(sound.info.format) +
                        ", which swfextract cannot extract");
    }
}

}  // namespace swf
