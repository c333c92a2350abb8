// flvtool2 -U and mp4creator -optimize / -hint run as programs on files ffmpeg makes; the
// results are checked with ffprobe and ffmpeg's frame checksums, and read back independently.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "support/test_support.h"
#include "tools/amf0.h"
#include "tools/mp4_boxes.h"
#include "tools/mp4_samples.h"

namespace torvane::test {
namespace {

namespace fs = std::filesystem;
using posttools::amf0::Value;

ProgramResult tool(const std::string& name, const std::vector<std::string>& args) {
    std::vector<std::string> argv{buildDir() + "/" + name};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv);
}

void ffmpeg(std::vector<std::string> args) {
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"});
    const ProgramResult result = runProgram(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

// A 3-second test picture with a tone, in the given codecs and container file.
void makeClip(const std::string& path, const std::vector<std::string>& codecs) {
    std::vector<std::string> args{"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25",
                                  "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100",
                                  "-t", "3",     "-g", "20"};
    args.insert(args.end(), codecs.begin(), codecs.end());
    args.push_back(path);
    ffmpeg(args);
}

// Streams (codec names) and duration as ffprobe reports them, data streams left out.
struct Probe {
    std::vector<std::string> streams;
    double duration = 0;
};

Probe probe(const std::string& path) {
    const ProgramResult result = runProgram({"ffprobe", "-v", "error", "-show_entries",
                                             "stream=codec_type,codec_name:format=duration", "-of", "csv=p=0", path});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    Probe found;
    std::stringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(',') != std::string::npos) {
            if (line.find("data") == std::string::npos) found.streams.push_back(line);
        } else if (!line.empty()) {
            found.duration = std::stod(line);
        }
    }
    return found;
}

std::string frameChecksums(const std::string& path) {
    const ProgramResult result = runProgram({"ffmpeg", "-v", "error", "-i", path, "-f", "framemd5", "-"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

uint64_t big(const std::string& bytes, size_t at, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

std::vector<std::string> topBoxTypes(const std::string& bytes) {
    std::vector<std::string> types;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        uint64_t size = big(bytes, at, 4);
        if (size == 1) size = big(bytes, at + 8, 8);
        if (size == 0) size = bytes.size() - at;
        types.push_back(bytes.substr(at + 4, 4));
        at += size;
    }
    return types;
}

size_t indexOf(const std::vector<std::string>& types, const std::string& type) {
    return static_cast<size_t>(std::find(types.begin(), types.end(), type) - types.begin());
}

struct Tag {
    unsigned type;
    uint64_t offset;
    std::string data;
    uint32_t timestamp;
};

// Reads every tag, checking each previous-tag-size against the tag before it.
std::vector<Tag> flvTags(const std::string& bytes) {
    std::vector<Tag> tags;
    EXPECT_EQ(bytes.substr(0, 3), "FLV");
    size_t at = big(bytes, 5, 4);
    EXPECT_EQ(big(bytes, at, 4), 0u);
    at += 4;
    while (at + 11 <= bytes.size()) {
        const auto size = static_cast<size_t>(big(bytes, at + 1, 3));
        const auto timestamp = static_cast<uint32_t>(big(bytes, at + 4, 3) | (big(bytes, at + 7, 1) << 24));
        tags.push_back({static_cast<unsigned>(bytes[at] & 0x1f), at, bytes.substr(at + 11, size), timestamp});
        EXPECT_EQ(big(bytes, at + 11 + size, 4), 11 + size) << "previous tag size after the tag at " << at;
        at += 11 + size + 4;
    }
    EXPECT_EQ(at, bytes.size());
    return tags;
}

std::map<std::string, Value> metadataOf(const Tag& tag) {
    size_t at = 0;
    const Value name = posttools::amf0::read(tag.data, at);
    EXPECT_EQ(name.text, "onMetaData");
    const Value array = posttools::amf0::read(tag.data, at);
    EXPECT_EQ(at, tag.data.size());
    std::map<std::string, Value> entries;
    for (const auto& [key, value] : array.members) {
        EXPECT_EQ(entries.count(key), 0u) << key << " twice";
        entries[key] = value;
    }
    return entries;
}

bool isVideoKeyframe(const Tag& tag) {
    if (tag.type != 9 || tag.data.size() < 2 || (static_cast<uint8_t>(tag.data[0]) >> 4) != 1) return false;
    return (tag.data[0] & 0x0f) != 7 || tag.data[1] == 1;
}

// The first bytes of a file, without reading all of a large one.
std::string headOf(const std::string& path, size_t length) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(length, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// ---- mp4creator -optimize

struct OptimizeCase {
    const char* name;
    std::vector<std::string> codecs;
};

class Mp4Optimize : public testing::TestWithParam<OptimizeCase> {};

TEST_P(Mp4Optimize, MovesTheMovieBoxFirstAndKeepsEveryFrame) {
    TempFolder folder;
    const std::string path = folder / "clip.mp4";
    makeClip(path, GetParam().codecs);
    const std::string before = readFile(path);
    ASSERT_GT(indexOf(topBoxTypes(before), "moov"), indexOf(topBoxTypes(before), "mdat")) << "ffmpeg put moov first";
    const Probe probed = probe(path);
    const std::string frames = frameChecksums(path);

    const ProgramResult result = tool("mp4creator", {"-optimize", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const std::string after = readFile(path);
    const auto types = topBoxTypes(after);
    EXPECT_LT(indexOf(types, "moov"), indexOf(types, "mdat"));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(frameChecksums(path), frames);
    EXPECT_EQ(probe(path).streams, probed.streams);
    EXPECT_NEAR(probe(path).duration, probed.duration, 0.001);

    // Once in front it stays as it is, to the byte.
    EXPECT_EQ(tool("mp4creator", {"-optimize", path}).exitCode, 0);
    EXPECT_EQ(readFile(path), after);
}

INSTANTIATE_TEST_SUITE_P(Codecs, Mp4Optimize,
                         testing::Values(OptimizeCase{"h264_aac",
                                                      {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}},
                                         OptimizeCase{"mpeg4_mp3", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Mp4OptimizeOffsets, KeepsThePermissionsOfTheOriginal) {
    TempFolder folder;
    const std::string path = folder / "clip.mp4";
    makeClip(path, {"-c:v", "libx264", "-preset", "ultrafast", "-an"});
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(tool("mp4creator", {"-optimize", path}).exitCode, 0);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(Mp4OptimizeOffsets, WidensATableWhoseOffsetsNoLongerFit32Bits) {
    posttools::Box table;
    table.type = "stco";
    table.payload = std::string(8, '\0');
    const std::vector<uint64_t> offsets{40, 0xfffffff0u, 0x100000010ull};
    posttools::setChunkOffsets(table, offsets);
    EXPECT_EQ(table.type, "co64");
    EXPECT_EQ(posttools::chunkOffsets(table), offsets);
    EXPECT_EQ(posttools::serializedSize(table), 8u + 8u + 3 * 8u);

    posttools::setChunkOffsets(table, {1, 2});  // a wide table is never narrowed again
    EXPECT_EQ(table.type, "co64");
}

TEST(Mp4OptimizeOffsets, RefusesAChunkOffsetTableThatClaimsMoreThanItHolds) {
    posttools::Box table;
    table.type = "stco";
    table.payload = std::string("\0\0\0\0\x7f\xff\xff\xff", 8) + std::string(8, '\0');
    EXPECT_THROW(posttools::chunkOffsets(table), posttools::Failure);
}

// ---- flvtool2 -U

struct FlvCase {
    const char* name;
    std::vector<std::string> codecs;
    double videoCodec;
    double audioCodec;
};

class FlvUpdate : public testing::TestWithParam<FlvCase> {};

TEST_P(FlvUpdate, WritesMetadataThatMatchesTheTags) {
    TempFolder folder;
    const std::string path = folder / "clip.flv";
    makeClip(path, GetParam().codecs);
    const Probe probed = probe(path);
    const std::string frames = frameChecksums(path);

    const ProgramResult result = tool("flvtool2", {"-U", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const std::string bytes = readFile(path);
    const std::vector<Tag> tags = flvTags(bytes);
    ASSERT_FALSE(tags.empty());
    ASSERT_EQ(tags[0].type, 18u);
    auto meta = metadataOf(tags[0]);
    for (size_t i = 1; i < tags.size(); ++i) {
        if (tags[i].type == 18) {
            EXPECT_EQ(tags[i].data.find("onMetaData"), std::string::npos) << "a second onMetaData";
        }
    }

    EXPECT_EQ(meta["filesize"].number, static_cast<double>(bytes.size()));
    EXPECT_EQ(meta["width"].number, 320);
    EXPECT_EQ(meta["height"].number, 240);
    EXPECT_NEAR(meta["framerate"].number, 25, 0.01);
    EXPECT_EQ(meta["videocodecid"].number, GetParam().videoCodec);
    EXPECT_EQ(meta["audiocodecid"].number, GetParam().audioCodec);
    EXPECT_TRUE(meta["hasVideo"].boolean);
    EXPECT_TRUE(meta["hasAudio"].boolean);
    EXPECT_TRUE(meta["hasMetadata"].boolean);
    EXPECT_TRUE(meta["hasKeyframes"].boolean);
    EXPECT_NEAR(meta["duration"].number, probed.duration, 0.1);
    EXPECT_GT(meta["videodatarate"].number, 0);
    EXPECT_GT(meta["audiodatarate"].number, 0);

    uint32_t last = 0;
    std::vector<const Tag*> keyframes;
    for (const Tag& tag : tags) {
        last = std::max(last, tag.timestamp);
        if (isVideoKeyframe(tag)) keyframes.push_back(&tag);
    }
    EXPECT_DOUBLE_EQ(meta["lasttimestamp"].number, last / 1000.0);

    const auto& positions = meta["keyframes"].members.at(0).value.items;
    const auto& times = meta["keyframes"].members.at(1).value.items;
    ASSERT_EQ(positions.size(), keyframes.size());
    ASSERT_EQ(times.size(), keyframes.size());
    ASSERT_GT(keyframes.size(), 1u) << "the clip should have several keyframes (-g 20)";
    for (size_t i = 0; i < keyframes.size(); ++i) {
        EXPECT_EQ(positions[i].number, static_cast<double>(keyframes[i]->offset)) << "keyframe " << i;
        EXPECT_DOUBLE_EQ(times[i].number, keyframes[i]->timestamp / 1000.0);
    }
    EXPECT_DOUBLE_EQ(meta["lastkeyframetimestamp"].number, keyframes.back()->timestamp / 1000.0);

    EXPECT_EQ(frameChecksums(path), frames);
    EXPECT_EQ(probe(path).streams, probed.streams);

    // A second run finds its own metadata and writes the same file again.
    ASSERT_EQ(tool("flvtool2", {"-U", path}).exitCode, 0);
    EXPECT_EQ(readFile(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, FlvUpdate,
    testing::Values(FlvCase{"flv1_mp3", {"-c:v", "flv1", "-c:a", "libmp3lame", "-ar", "44100"}, 2, 2},
                    FlvCase{"h264_aac", {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}, 7, 10}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(FlvUpdateMetadata, PlaysInMplayer) {
    if (runProgram({"sh", "-c", "command -v mplayer"}).exitCode != 0) GTEST_SKIP() << "no mplayer";
    TempFolder folder;
    const std::string path = folder / "clip.flv";
    makeClip(path, {"-c:v", "flv1", "-c:a", "libmp3lame", "-ar", "44100"});
    ASSERT_EQ(tool("flvtool2", {"-U", path}).exitCode, 0);
    const ProgramResult played = runProgram(
        {"mplayer", "-really-quiet", "-nosound", "-vo", "null", "-benchmark", "-nolirc", "-noconfig", "all", path});
    EXPECT_EQ(played.exitCode, 0) << played.err;
}

// ---- mp4creator -hint

// The tracks of the movie as the library reads them.
std::vector<posttools::TrackInfo> tracksOf(const std::string& bytes) {
    std::vector<posttools::TrackInfo> tracks;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        const uint64_t size = big(bytes, at, 4);
        if (bytes.compare(at + 4, 4, "moov") == 0) {
            const auto movie = posttools::parseBox(bytes.substr(at, size));
            for (const auto& box : movie->children) {
                if (box->type == "trak") tracks.push_back(posttools::readTrack(*box, bytes.size()));
            }
        }
        at += size;
    }
    return tracks;
}

// Where ffprobe finds the packets of one stream: offset and size of each.
std::vector<std::pair<uint64_t, uint32_t>> packetPlaces(const std::string& path, int stream) {
    const ProgramResult result = runProgram({"ffprobe", "-v", "error", "-select_streams", std::to_string(stream),
                                             "-show_entries", "packet=pos,size", "-of", "csv=p=0", path});
    std::vector<std::pair<uint64_t, uint32_t>> places;
    std::stringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t comma = line.find(',');
        if (comma == std::string::npos) continue;
        places.emplace_back(std::stoull(line.substr(comma + 1)),
                            static_cast<uint32_t>(std::stoul(line.substr(0, comma))));
    }
    std::sort(places.begin(), places.end());
    return places;
}

// The payload of every packet of every hint sample, rebuilt from its constructors.
struct RebuiltPacket {
    uint32_t sample;
    std::string payload;
    bool marker;
};

std::vector<RebuiltPacket> rebuild(const std::string& bytes, const posttools::TrackInfo& hint,
                                   const posttools::TrackInfo& media) {
    std::vector<RebuiltPacket> packets;
    for (const auto& sample : hint.samples) {
        const std::string data = bytes.substr(sample.offset, sample.size);
        const auto count = big(data, 0, 2);
        size_t at = 4;
        for (uint64_t p = 0; p < count; ++p) {
            const bool marker = (static_cast<uint8_t>(data.at(at + 5)) & 0x80) != 0;
            const auto entries = big(data, at + 10, 2);
            at += 12;
            RebuiltPacket packet{0, {}, marker};
            for (uint64_t e = 0; e < entries; ++e, at += 16) {
                if (data.at(at) == 1) {
                    packet.payload += data.substr(at + 2, static_cast<uint8_t>(data.at(at + 1)));
                } else {
                    EXPECT_EQ(data.at(at), 2);
                    const auto length = big(data, at + 2, 2);
                    const auto number = static_cast<uint32_t>(big(data, at + 4, 4));
                    const auto offset = big(data, at + 8, 4);
                    EXPECT_GE(number, 1u);
                    EXPECT_LE(number, media.samples.size());
                    const auto& source = media.samples.at(number - 1);
                    EXPECT_LE(offset + length, source.size);
                    packet.payload += bytes.substr(source.offset + offset, length);
                    packet.sample = number;
                }
            }
            EXPECT_LE(packet.payload.size(), 1450u);
            packets.push_back(std::move(packet));
        }
        EXPECT_EQ(at, data.size());
    }
    return packets;
}

// The NAL units of an H.264 sample with 4-byte lengths.
std::vector<std::string> nalUnits(const std::string& sample) {
    std::vector<std::string> units;
    for (size_t at = 0; at + 4 <= sample.size();) {
        const auto length = static_cast<size_t>(big(sample, at, 4));
        units.push_back(sample.substr(at + 4, length));
        at += 4 + length;
    }
    return units;
}

struct HintCase {
    const char* name;
    std::vector<std::string> codecs;
    std::vector<std::string> announced;  // the rtpmap of each hint track
};

class Mp4Hint : public testing::TestWithParam<HintCase> {};

TEST_P(Mp4Hint, HintPacketsCarryEverySampleAndPlaybackStaysTheSame) {
    TempFolder folder;
    const std::string path = folder / "clip.mp4";
    makeClip(path, GetParam().codecs);
    const Probe probed = probe(path);
    const std::string frames = frameChecksums(path);

    for (const char* option : {"-hint=1", "-hint=2", "-optimize"}) {
        const ProgramResult result = tool("mp4creator", {option, path});
        ASSERT_EQ(result.exitCode, 0) << option << ": " << result.err;
    }
    EXPECT_EQ(probe(path).streams, probed.streams);
    EXPECT_NEAR(probe(path).duration, probed.duration, 0.001);
    const ProgramResult decoded =
        runProgram({"ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-map", "0:a", "-f", "framemd5", "-"});
    EXPECT_EQ(decoded.out, frames);

    const std::string bytes = readFile(path);
    for (const std::string& line : GetParam().announced) EXPECT_NE(bytes.find(line), std::string::npos) << line;
    const auto tracks = tracksOf(bytes);
    ASSERT_EQ(tracks.size(), 4u);
    for (int media = 0; media < 2; ++media) {
        const auto& source = tracks[static_cast<size_t>(media)];
        const auto& hint = tracks[static_cast<size_t>(media) + 2];
        EXPECT_EQ(hint.handler, "hint");
        // The sample places the packets are built from agree with ffprobe's.
        std::vector<std::pair<uint64_t, uint32_t>> places;
        for (const auto& sample : source.samples) places.emplace_back(sample.offset, sample.size);
        std::sort(places.begin(), places.end());
        EXPECT_EQ(places, packetPlaces(path, media));

        const auto packets = rebuild(bytes, hint, source);
        ASSERT_FALSE(packets.empty());
        std::map<uint32_t, std::string> carried;  // sample number -> what its packets carry
        std::map<uint32_t, std::vector<std::string>> units;
        std::string fragments;
        for (const auto& packet : packets) {
            const std::string& payload = packet.payload;
            if (source.codec == posttools::Codec::H264) {
                const auto type = static_cast<uint8_t>(payload.at(0)) & 0x1f;
                if (type != 28) {
                    units[packet.sample].push_back(payload);
                    continue;
                }
                const auto header = static_cast<uint8_t>(payload.at(1));
                if (header & 0x80) {
                    fragments = std::string(1, static_cast<char>((payload[0] & 0xe0) | (header & 0x1f)));
                }
                fragments += payload.substr(2);
                if (header & 0x40) units[packet.sample].push_back(fragments);
            } else if (source.codec == posttools::Codec::Aac) {
                EXPECT_EQ(big(payload, 0, 2), 16u);
                EXPECT_EQ(big(payload, 2, 2) >> 3, source.samples.at(packet.sample - 1).size);
                carried[packet.sample] += payload.substr(4);
            } else if (source.codec == posttools::Codec::Mp3) {
                EXPECT_EQ(big(payload, 2, 2), carried[packet.sample].size()) << "fragment offset";
                carried[packet.sample] += payload.substr(4);
            } else {
                carried[packet.sample] += payload;
            }
        }
        bool fragmented = false;
        for (uint32_t n = 1; n <= source.samples.size(); ++n) {
            const auto& sample = source.samples[n - 1];
            const std::string data = bytes.substr(sample.offset, sample.size);
            if (source.codec == posttools::Codec::H264) {
                EXPECT_EQ(units[n], nalUnits(data)) << "sample " << n;
                for (const auto& unit : units[n]) fragmented = fragmented || unit.size() > 1450;
            } else {
                EXPECT_TRUE(carried[n] == data) << "sample " << n;
            }
        }
        if (source.codec == posttools::Codec::H264) {
            EXPECT_TRUE(fragmented) << "no NAL unit needed FU-A";
        }
        EXPECT_TRUE(packets.back().marker);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, Mp4Hint,
    testing::Values(HintCase{"h264_aac",
                             {"-s", "1280x720", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"},
                             {"a=rtpmap:96 H264/90000", "a=rtpmap:97 mpeg4-generic/44100/1"}},
                    HintCase{"mpeg4_mp3",
                             {"-s", "1280x720", "-c:v", "mpeg4", "-q:v", "2", "-c:a", "libmp3lame"},
                             {"a=rtpmap:96 MP4V-ES/90000", "a=rtpmap:14 MPA/90000"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Mp4HintRefusals, AHintTrackOrAHintedTrackIsNotHintedAgain) {
    TempFolder folder;
    const std::string path = folder / "clip.mp4";
    makeClip(path, {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"});
    ASSERT_EQ(tool("mp4creator", {"-hint=1", path}).exitCode, 0);
    const std::string hinted = readFile(path);
    for (const char* option : {"-hint=3", "-hint=1"}) {
        const ProgramResult result = tool("mp4creator", {option, path});
        EXPECT_NE(result.exitCode, 0) << option;
        EXPECT_FALSE(result.err.empty());
        EXPECT_TRUE(readFile(path) == hinted) << option;
    }
}

TEST(Mp4HintLayout, HintingAFastStartFileMovesTheMediaOffsetsWithTheGrownMovieBox) {
    TempFolder folder;
    const std::string path = folder / "clip.mp4";
    makeClip(path, {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-movflags", "+faststart"});
    const std::string frames = frameChecksums(path);
    ASSERT_EQ(tool("mp4creator", {"-hint=1", path}).exitCode, 0);
    const auto types = topBoxTypes(readFile(path));
    EXPECT_LT(indexOf(types, "moov"), indexOf(types, "mdat"));
    const ProgramResult decoded =
        runProgram({"ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-map", "0:a", "-f", "framemd5", "-"});
    EXPECT_EQ(decoded.out, frames);
}

// ---- damaged input

struct Damage {
    const char* name;
    const char* program;
    const char* option;
    std::vector<std::string> codecs;
    const char* extension;
};

class DamagedInput : public testing::TestWithParam<Damage> {};

// Bytes changed where the structure lies (the start and, for a movie box at the end, the end):
// the tools either finish or refuse, never crash, and a refused file stays as it was.
TEST_P(DamagedInput, IsRefusedOrHandledWithoutCrashing) {
    TempFolder folder;
    const std::string clean = folder / (std::string("clean.") + GetParam().extension);
    makeClip(clean, GetParam().codecs);
    const std::string original = readFile(clean);
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        std::string damaged = original;
        for (int i = 0; i < 4; ++i) {
            const size_t span = std::min<size_t>(4096, damaged.size());
            size_t at = random() % span;
            if (round % 2) at = damaged.size() - 1 - at;
            damaged[at] = static_cast<char>(random() & 0xff);
        }
        const std::string path = folder / (std::string("damaged.") + GetParam().extension);
        writeFile(path, damaged);
        const ProgramResult result = tool(GetParam().program, {GetParam().option, path});
        ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 1) << "round " << round << ": " << result.err;
        if (result.exitCode != 0) {
            EXPECT_TRUE(readFile(path) == damaged) << "round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedInput,
    testing::Values(
        Damage{"flv_update",
               "flvtool2",
               "-U",
               {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-t", "1"},
               "flv"},
        Damage{"mp4_optimize",
               "mp4creator",
               "-optimize",
               {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-t", "1"},
               "mp4"},
        Damage{"mp4_hint_video",
               "mp4creator",
               "-hint=1",
               {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-t", "1"},
               "mp4"},
        Damage{"mp4_hint_audio", "mp4creator", "-hint=2", {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-t", "1"}, "mp4"}),
    [](const auto& param) { return std::string(param.param.name); });

// ---- refusals leave the file as it was

struct Refusal {
    const char* name;
    const char* program;
    std::vector<std::string> options;
    const char* fileName;
    std::string content;
};

class Refuses : public testing::TestWithParam<Refusal> {};

TEST_P(Refuses, LeavesTheFileByteForByte) {
    TempFolder folder;
    const std::string path = folder / GetParam().fileName;
    std::string content = GetParam().content;
    if (content == "mp4-cut") {
        makeClip(path, {"-c:v", "libx264", "-preset", "ultrafast", "-an"});
        content = readFile(path);
        content.resize(content.size() - 100);
    } else if (content == "flv-cut") {
        makeClip(path, {"-c:v", "flv1", "-an"});
        content = readFile(path);
        content.resize(content.size() - 100);
    } else if (content == "mjpeg") {
        makeClip(path, {"-c:v", "mjpeg", "-an"});
        content = readFile(path);
    } else if (content == "mp4") {
        // Made under its own name: ffmpeg picks the container by the extension.
        makeClip(path + ".mp4", {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"});
        content = readFile(path + ".mp4");
        fs::remove(path + ".mp4");
    }
    writeFile(path, content);
    std::vector<std::string> args = GetParam().options;
    args.push_back(path);
    const ProgramResult result = tool(GetParam().program, args);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_FALSE(result.err.empty());
    EXPECT_TRUE(readFile(path) == content) << "the refused file changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1) << "a file was left";
}

INSTANTIATE_TEST_SUITE_P(
    Files, Refuses,
    testing::Values(
        Refusal{"text_to_optimize", "mp4creator", {"-optimize"}, "notes.mp4", "just some words, not a movie\n"},
        Refusal{"text_to_hint", "mp4creator", {"-hint=1"}, "notes.mp4", "just some words, not a movie\n"},
        Refusal{"text_to_flvtool", "flvtool2", {"-U"}, "notes.flv", "just some words, not a movie\n"},
        Refusal{"mp4_to_flvtool", "flvtool2", {"-U"}, "clip.flv", "mp4"},
        Refusal{"cut_mp4", "mp4creator", {"-optimize"}, "clip.mp4", "mp4-cut"},
        Refusal{"cut_flv", "flvtool2", {"-U"}, "clip.flv", "flv-cut"},
        Refusal{"empty_flv", "flvtool2", {"-U"}, "clip.flv", ""},
        Refusal{"empty_mp4", "mp4creator", {"-optimize"}, "clip.mp4", ""},
        Refusal{"hint_unknown_codec", "mp4creator", {"-hint=1"}, "clip.mp4", "mjpeg"},
        Refusal{"hint_no_such_track", "mp4creator", {"-hint=9"}, "clip.mp4", "mp4"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(RefusesMissing, ReportsAMissingFileAsFailure) {
    TempFolder folder;
    EXPECT_NE(tool("flvtool2", {"-U", folder / "absent.flv"}).exitCode, 0);
    EXPECT_NE(tool("mp4creator", {"-optimize", folder / "absent.mp4"}).exitCode, 0);
    EXPECT_NE(tool("mp4creator", {"-hint=1", folder / "absent.mp4"}).exitCode, 0);
    EXPECT_NE(tool("mp4creator", {"-optimize", folder.path()}).exitCode, 0) << "a folder is not a file";
}

// ---- an interrupted rewrite

TEST(Interrupted, AKilledRewriteLeavesTheOriginalAndNoTemporaryFile) {
    TempFolder folder;
    const std::string path = folder / "big.mp4";
    makeClip(path, {"-c:v", "libx264", "-preset", "ultrafast", "-an"});
    // A large free box at the end makes the copy long enough to be caught while it works.
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        const uint64_t size = 256ull << 20;
        const char header[8] = {
            static_cast<char>(size >> 24), static_cast<char>((size >> 16) & 0xff), 0, 0, 'f', 'r', 'e', 'e'};
        out.write(header, 8);
    }
    fs::resize_file(path, fs::file_size(path) + (256ull << 20) - 8);
    const uint64_t size = fs::file_size(path);
    const std::string head = headOf(path, 1 << 20);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string program = buildDir() + "/mp4creator";
        ::execl(program.c_str(), program.c_str(), "-optimize", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Waits until the program holds a new file in the folder with more than a megabyte in it,
    // then kills it in the middle of its copy.
    bool seen = false;
    const std::string fds = "/proc/" + std::to_string(child) + "/fd";
    while (!seen) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(fds, error)) {
            const std::string target = fs::read_symlink(entry.path(), error).string();
            if (error || target.rfind(folder.path(), 0) != 0 || target == path) continue;
            struct stat info {};
            if (::stat(entry.path().c_str(), &info) == 0 && info.st_size > (1 << 20)) seen = true;
        }
        int status = 0;
        if (!seen && ::waitpid(child, &status, WNOHANG) == child) FAIL() << "finished before it could be interrupted";
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(fs::file_size(path), size);
    EXPECT_TRUE(headOf(path, 1 << 20) == head);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1)
        << "a temporary file was left behind";

    // The next run starts over and completes.
    ASSERT_EQ(tool("mp4creator", {"-optimize", path}).exitCode, 0);
    EXPECT_EQ(fs::file_size(path), size);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(Interrupted, ThroughASymbolicLinkTheRealFileIsRewritten) {
    TempFolder folder;
    const std::string real = folder / "real.mp4";
    makeClip(real, {"-c:v", "libx264", "-preset", "ultrafast", "-an"});
    fs::create_symlink(real, folder / "link.mp4");
    ASSERT_EQ(tool("mp4creator", {"-optimize", folder / "link.mp4"}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(folder / "link.mp4"));
    const auto types = topBoxTypes(readFile(real));
    EXPECT_LT(indexOf(types, "moov"), indexOf(types, "mdat"));
}

TEST(Interrupted, AFolderThatCannotBeWrittenLeavesTheOriginal) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    TempFolder folder;
    const std::string path = folder / "clip.flv";
    makeClip(path, {"-c:v", "flv1", "-an"});
    const std::string before = readFile(path);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
    const ProgramResult result = tool("flvtool2", {"-U", path});
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(readFile(path), before);
}

}  // namespace
}  // namespace torvane::test
