// swfdump, swfextract and swfcombine run as programs on movies written by the test SWF writer
// and on the third-party corpus; the reader library is also fed mutated movies directly.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

#include "support/swf_writer.h"
#include "support/test_support.h"
#include "tools/swf_reader.h"
#include "tools/swf_sound.h"

namespace torvane::test {
namespace {

namespace fs = std::filesystem;

std::string tool(const std::string& name) {
    return buildDir() + "/" + name;
}

ProgramResult run(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), tool(name));
    return runProgram(args);
}

std::string swfCorpus(const std::string& name) {
    return corpusDir() + "/swf_extra/" + name;
}

// What the converter takes from swfdump: split at "-" and blanks, word 1 names, word 2 is the value.
std::map<std::string, std::string> parsedLikeTheConverter(const std::string& text) {
    std::map<std::string, std::string> facts;
    std::stringstream pieces(text);
    std::string piece;
    while (std::getline(pieces, piece, '-')) {
        std::stringstream words(piece);
        std::string name, value;
        if (words >> name >> value) facts[name] = value;
    }
    return facts;
}

// The text after "ID(s)" on the listing line that holds marker, blanks removed.
std::string idList(const std::string& listing, const std::string& marker) {
    std::string found;
    std::stringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(marker) == std::string::npos) continue;
        const size_t at = line.find("ID(s)");
        found = at == std::string::npos ? "" : line.substr(at + 5);
        std::erase(found, ' ');
    }
    return found;
}

std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The real MP3 frames of one second of a 440 Hz tone, made once.
const std::vector<Mp3Frame>& toneFrames() {
    static const std::vector<Mp3Frame> frames = [] {
        TempFolder folder;
        const std::string path = folder / "tone.mp3";
        const ProgramResult made =
            runProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "1",
                        "-c:a", "libmp3lame", "-b:a", "64k", "-f", "mp3", path});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return splitMp3Frames(readFile(path));
    }();
    return frames;
}

std::vector<int16_t> sine(int count, int channels, double amplitude = 12000) {
    std::vector<int16_t> samples;
    for (int i = 0; i < count; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples.push_back(static_cast<int16_t>(std::lround(amplitude * std::sin(i * (0.05 + 0.02 * c)))));
        }
    }
    return samples;
}

double durationSeconds(const std::string& path) {
    const ProgramResult probe = runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                            "default=noprint_wrappers=1:nokey=1", path});
    EXPECT_EQ(probe.exitCode, 0) << path << ": " << probe.err;
    return std::atof(probe.out.c_str());
}

// Decodes any file ffmpeg reads to 16-bit samples; extra input options come before -i.
std::vector<int16_t> decodedSamples(const std::string& path, const std::vector<std::string>& inputOptions = {}) {
    std::vector<std::string> argv = {"ffmpeg", "-v", "error"};
    argv.insert(argv.end(), inputOptions.begin(), inputOptions.end());
    TempFolder folder;
    const std::string raw = folder / "samples.raw";
    for (const std::string& arg : std::vector<std::string>{"-i", path, "-f", "s16le", "-c:a", "pcm_s16le", raw}) {
        argv.push_back(arg);
    }
    const ProgramResult decoded = runProgram(argv);
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
    const std::string bytes = readFile(raw);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The movie most tests use: a 550x400 stage at 24 fps, shapes in a sprite and on the main
// timeline, a one-second MP3 stream over 120 frames.
SwfWriter streamMovie() {
    SwfWriter movie(550, 400, 24);
    movie.setBackgroundColor({10, 20, 30});
    const uint16_t box = movie.defineRectangle(40, 30, {200, 0, 0}, SwfLineStyle{2, {0, 0, 0}});
    SwfTimeline spinning;
    spinning.placeObject(box, 1, 0, 0, SwfColorTransform{128, 256, 256, 256, 20, 0, 0, 0}, 3);
    spinning.showFrame();
    spinning.moveObject(1, 5, 5);
    spinning.showFrame();
    const uint16_t sprite = movie.defineSprite(spinning);
    movie.placeObject(sprite, 1, 100, 100);
    movie.placeObject(box, 2, 10, 10);
    movie.mp3StreamOverFrames(toneFrames(), 60);
    movie.removeObject(2);
    for (int frame = 60; frame < 120; ++frame) movie.showFrame();
    return movie;
}

TEST(Swfdump, PrintsTheHeaderFactsInOneFixedOrder) {
    TempFolder folder;
    const std::string plain = folder / "movie.swf";
    writeFile(plain, streamMovie().finish());
    EXPECT_EQ(run("swfdump", {"-X", "-Y", "-f", "-r", plain}).out, "-X 550 -Y 400 -f 120 -r 24.00\n");
    EXPECT_EQ(run("swfdump", {plain, "-r", "-f", "-Y", "-X"}).out, "-X 550 -Y 400 -f 120 -r 24.00\n");
    EXPECT_EQ(run("swfdump", {plain}).out, "-X 550 -Y 400 -f 120 -r 24.00\n");
    EXPECT_EQ(run("swfdump", {"-X", plain}).out, "-X 550\n");
    EXPECT_EQ(run("swfdump", {"-Y", plain}).out, "-Y 400\n");
    EXPECT_EQ(run("swfdump", {"-f", plain}).out, "-f 120\n");
    EXPECT_EQ(run("swfdump", {"-r", "-Y", plain}).out, "-Y 400 -r 24.00\n");

    // Compressed headers, fractional rates and the converter's own way of reading the line.
    for (const auto& [compression, rate, rateText] :
         {std::tuple{SwfCompression::Zlib, 29.97, "29.97"}, std::tuple{SwfCompression::Lzma, 12.5, "12.50"},
          std::tuple{SwfCompression::None, 0.0, "0.00"}}) {
        SwfWriter movie(1, 4095, rate, 13);
        movie.showFrame();
        movie.setFrameCount(65535);
        const std::string path = folder / "rate.swf";
        writeFile(path, movie.finish(compression));
        const ProgramResult dumped = run("swfdump", {"-X", "-Y", "-f", "-r", path});
        EXPECT_EQ(dumped.exitCode, 0) << dumped.err;
        EXPECT_EQ(dumped.err, "");
        const auto facts = parsedLikeTheConverter(dumped.out);
        EXPECT_EQ(facts.at("X"), "1");
        EXPECT_EQ(facts.at("Y"), "4095");
        EXPECT_EQ(facts.at("f"), "65535");
        EXPECT_EQ(facts.at("r"), rateText);
    }

    // A stage whose rectangle is upside down must still give values without a "-".
    SwfWriter inverted(-10, 10, 24);
    writeFile(folder / "inverted.swf", inverted.finish());
    EXPECT_EQ(run("swfdump", {"-X", "-Y", folder / "inverted.swf"}).out, "-X 0 -Y 10\n");
}

TEST(Swfdump, RefusesWhatIsNotAWholeMovie) {
    TempFolder folder;
    const std::string whole = streamMovie().finish();
    // Cut inside a tag, a tag claiming more bytes than there are, zlib data cut short.
    std::string overlong = SwfWriter(10, 10, 1).finish();
    overlong.insert(overlong.size() - 2, std::string("\xbf\x03\xff\xff\x00\x00", 6));
    const std::string zlib = streamMovie().finish(SwfCompression::Zlib);
    const std::map<std::string, std::string> broken = {
        {"cut.swf", whole.substr(0, whole.size() / 2)},     {"overlong.swf", overlong},
        {"cutzlib.swf", zlib.substr(0, zlib.size() - 100)}, {"header.swf", whole.substr(0, 12)},
        {"signature.swf", "GWS" + whole.substr(3)},
    };
    std::vector<std::string> paths = {folder / "missing.swf"};
    if (corpusAvailable() || corpusRequired()) {
        for (const char* name : {"shumway_empty_0bytes.swf", "shumway_text_not_swf.swf",
                                 "ruffle_lzma_length_too_large.swf", "ruffle_lzma_malformed_length.swf"}) {
            const std::string path = swfCorpus(std::string("bad/") + name);
            EXPECT_TRUE(fs::exists(path)) << path;
            paths.push_back(path);
        }
    }
    for (const auto& [name, bytes] : broken) {
        writeFile(folder / name, bytes);
        paths.push_back(folder / name);
    }
    for (const std::string& path : paths) {
        const ProgramResult dumped = run("swfdump", {"-X", "-Y", "-f", "-r", path});
        EXPECT_EQ(dumped.exitCode, 1) << path;
        EXPECT_EQ(dumped.out, "") << path;
        EXPECT_EQ(dumped.err.rfind("swfdump: " + path + ": ", 0), 0u) << dumped.err;
    }

    EXPECT_EQ(run("swfdump", {"-q", folder / "cut.swf"}).exitCode, 2);
    EXPECT_EQ(run("swfdump", {"-X"}).exitCode, 2);
    const ProgramResult help = run("swfdump", {"-h"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: swfdump"), std::string::npos);
}

TEST(SwfextractListing, NamesEachKindOnItsOwnLine) {
    TempFolder folder;
    SwfWriter movie = streamMovie();
    const uint16_t pcm = movie.defineSoundPcm(sine(100, 1), 22050, false);
    const uint16_t mp3a = movie.defineSoundMp3(toneFrames());
    const uint16_t adpcm = movie.defineSoundAdpcm(sine(100, 2), 11025, true, 4);
    const uint16_t mp3b = movie.defineSoundMp3(toneFrames());
    const uint16_t speex = movie.defineSound(11, 5512, true, false, 320, std::string(40, '\x11'));
    writeFile(folder / "all.swf", movie.finish(SwfCompression::Lzma));
    const ProgramResult listed = run("swfextract", {folder / "all.swf"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out,
              " [-s] 2 Sounds: ID(s) " + std::to_string(pcm) + ", " + std::to_string(adpcm) +
                  "\n [-M] 2 MP3 Sounds: ID(s) " + std::to_string(mp3a) + ", " + std::to_string(mp3b) +
                  "\n [-m] 1 MP3 Soundstream\n (1 Sound that cannot be extracted: " + std::to_string(speex) + ")\n");
    EXPECT_EQ(idList(listed.out, "[-s]"), std::to_string(pcm) + "," + std::to_string(adpcm));
    EXPECT_EQ(idList(listed.out, "[-M]"), std::to_string(mp3a) + "," + std::to_string(mp3b));

    SwfWriter one(100, 100, 12);
    const uint16_t only = one.defineSoundMp3(toneFrames());
    one.showFrame();
    writeFile(folder / "one.swf", one.finish());
    EXPECT_EQ(run("swfextract", {folder / "one.swf"}).out, " [-M] 1 MP3 Sound: ID(s) " + std::to_string(only) + "\n");

    // Without sounds no line carries a marker the converter would act on.
    SwfWriter silent(100, 100, 12);
    silent.showFrame();
    writeFile(folder / "silent.swf", silent.finish());
    const ProgramResult none = run("swfextract", {folder / "silent.swf"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out.find("[-"), std::string::npos);
    EXPECT_EQ(none.out.find("ID(s)"), std::string::npos);
}

TEST(SwfextractStream, WritesTheStreamFramesAsTheyWereStored) {
    TempFolder folder;
    const std::string expected = joinMp3Frames(toneFrames());
    for (const SwfCompression compression : {SwfCompression::None, SwfCompression::Zlib, SwfCompression::Lzma}) {
        const std::string movie = folder / "stream.swf";
        writeFile(movie, streamMovie().finish(compression));
        // The options in the converter's order and in others.
        for (const auto& args : {std::vector<std::string>{"-m", movie, "-o", folder / "a.mp3"},
                                 std::vector<std::string>{"-o", folder / "a.mp3", movie, "-m"}}) {
            fs::remove(folder / "a.mp3");
            const ProgramResult extracted = run("swfextract", args);
            ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
            EXPECT_EQ(readFile(folder / "a.mp3"), expected);
        }
    }
    EXPECT_NEAR(durationSeconds(folder / "a.mp3"), static_cast<double>(toneFrames().size()) * 1152 / 44100.0, 0.03);
    const ProgramResult decoded = runProgram({"ffmpeg", "-v", "error", "-i", folder / "a.mp3", "-f", "null", "-"});
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.err, "");

    // A stream only inside a sprite is not the main timeline's.
    SwfWriter nested(100, 100, 24);
    SwfTimeline inner;
    inner.tag(19, std::string(4, '\0') + expected.substr(0, 500));
    nested.defineSprite(inner);
    nested.showFrame();
    writeFile(folder / "nested.swf", nested.finish());
    const ProgramResult none = run("swfextract", {"-m", folder / "nested.swf", "-o", folder / "n.mp3"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no sound stream"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "n.mp3"));

    // A movie whose only stream plays in a movie clip: that stream is the movie's sound.
    SwfWriter clipSound(100, 100, 24);
    SwfTimeline clip;
    const char mp3Stereo44k = 0x2F;
    clip.tag(45, std::string{0x0F, mp3Stereo44k, 0x00, 0x06, 0x00, 0x00});  // 1536 samples a frame
    const std::vector<Mp3Frame> frames = toneFrames();
    for (std::size_t first = 0; first < frames.size(); first += 2) {
        const std::vector<Mp3Frame> two(
            frames.begin() + static_cast<std::ptrdiff_t>(first),
            frames.begin() + static_cast<std::ptrdiff_t>(std::min(first + 2, frames.size())));
        clip.tag(19, std::string(4, '\0') + joinMp3Frames(two));
        clip.showFrame();
    }
    clipSound.placeObject(clipSound.defineSprite(clip), 1, 0, 0);
    clipSound.showFrame();
    writeFile(folder / "clip.swf", clipSound.finish());
    EXPECT_NE(run("swfextract", {folder / "clip.swf"}).out.find("[-m]"), std::string::npos);
    const ProgramResult fromClip = run("swfextract", {"-m", folder / "clip.swf", "-o", folder / "clip.mp3"});
    ASSERT_EQ(fromClip.exitCode, 0) << fromClip.err;
    EXPECT_EQ(readFile(folder / "clip.mp3"), expected);
}

TEST(SwfextractSounds, WritesEmbeddedSoundsInTheirOwnFormat) {
    TempFolder folder;
    SwfWriter movie(100, 100, 12);
    const uint16_t mp3 = movie.defineSoundMp3(toneFrames(), 576);
    const std::vector<int16_t> stereo = sine(5000, 2);
    const uint16_t pcm = movie.defineSoundPcm(stereo, 44100, true);
    movie.showFrame();
    const std::string path = folder / "sounds.swf";
    writeFile(path, movie.finish(SwfCompression::Zlib));

    ASSERT_EQ(run("swfextract", {"-M", std::to_string(mp3), path, "-o", folder / "m.mp3"}).exitCode, 0);
    EXPECT_EQ(readFile(folder / "m.mp3"), joinMp3Frames(toneFrames()));
    ASSERT_EQ(run("swfextract", {"-s", std::to_string(mp3), path, "-o", folder / "s.mp3"}).exitCode, 0);
    EXPECT_EQ(readFile(folder / "s.mp3"), joinMp3Frames(toneFrames()));

    // The converter names the file .mp3 whatever it holds; ffmpeg goes by the content.
    ASSERT_EQ(run("swfextract", {"-s", std::to_string(pcm), path, "-o", folder / "p.mp3"}).exitCode, 0);
    EXPECT_EQ(readFile(folder / "p.mp3").substr(0, 4), "RIFF");
    EXPECT_EQ(decodedSamples(folder / "p.mp3"), stereo);

    const ProgramResult notMp3 = run("swfextract", {"-M", std::to_string(pcm), path, "-o", folder / "x.mp3"});
    EXPECT_EQ(notMp3.exitCode, 1);
    EXPECT_NE(notMp3.err.find("not MP3"), std::string::npos);
    const ProgramResult noSuch = run("swfextract", {"-s", "999", path, "-o", folder / "x.mp3"});
    EXPECT_EQ(noSuch.exitCode, 1);
    EXPECT_NE(noSuch.err.find("no sound with ID 999"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "x.mp3"));
}

// ffmpeg's own SWF ADPCM decoder reads the same data from an FLV audio tag.
std::vector<int16_t> ffmpegAdpcm(const std::string& data, bool stereo, const std::string& folder) {
    std::string flv = std::string("FLV\x01\x04\x00\x00\x00\x09\x00\x00\x00\x00", 13);
    const auto size = static_cast<uint32_t>(data.size() + 1);
    flv += '\x08';
    for (const int shift : {16, 8, 0}) flv += static_cast<char>((size >> shift) & 0xff);
    flv += std::string(7, '\0');
    flv += static_cast<char>(0x1a | (stereo ? 1 : 0));
    flv += data;
    for (const int shift : {24, 16, 8, 0}) flv += static_cast<char>(((size + 11) >> shift) & 0xff);
    writeFile(folder + "/adpcm.flv", flv);
    return decodedSamples(folder + "/adpcm.flv");
}

TEST(SwfextractSounds, DecodesAdpcmOfEveryCodeSizeAsFfmpegDoes) {
    TempFolder folder;
    std::mt19937 random(7);
    for (const bool stereo : {false, true}) {
        const int channels = stereo ? 2 : 1;
        // More than two packets, the last one short; the rough signal's jumps reach every code.
        const std::vector<int16_t> smooth = sine(4096 * 2 + 1000, channels);
        std::vector<int16_t> rough = smooth;
        for (size_t i = 0; i < rough.size(); ++i) {
            if (i / 64 % 3 == 0) rough[i] = static_cast<int16_t>(static_cast<int>(random() % 60000) - 30000);
        }
        for (int codeBits = 2; codeBits <= 5; ++codeBits) {
            for (const std::vector<int16_t>* source : std::vector<const std::vector<int16_t>*>{&smooth, &rough}) {
                SCOPED_TRACE("stereo " + std::to_string(stereo) + ", " + std::to_string(codeBits) + " bits, " +
                             (source == &smooth ? "smooth" : "rough"));
                SwfWriter movie(100, 100, 12);
                const uint16_t id = movie.defineSoundAdpcm(*source, 22050, stereo, codeBits);
                movie.showFrame();
                writeFile(folder / "adpcm.swf", movie.finish());
                const ProgramResult extracted =
                    run("swfextract", {"-s", std::to_string(id), folder / "adpcm.swf", "-o", folder / "a.wav"});
                ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
                const std::vector<int16_t> ours = decodedSamples(folder / "a.wav");
                ASSERT_EQ(ours.size(), source->size());
                std::vector<int16_t> theirs =
                    ffmpegAdpcm(encodeSwfAdpcm(*source, stereo, codeBits), stereo, folder.path());
                ASSERT_GE(theirs.size(), ours.size());
                theirs.resize(ours.size());
                EXPECT_EQ(ours, theirs);
                if (source != &smooth) continue;
                double error = 0, signal = 0;
                for (size_t i = 0; i < source->size(); ++i) {
                    error += std::pow(ours[i] - (*source)[i], 2);
                    signal += std::pow((*source)[i], 2);
                }
                EXPECT_LT(std::sqrt(error / signal), codeBits == 2 ? 0.5 : 0.2);
            }
        }
    }
}

TEST(SwfextractSounds, DecodesG711AndNellymoser) {
    TempFolder folder;
    std::string everyCode;
    for (int code = 0; code < 256; ++code) everyCode += static_cast<char>(code);
    writeFile(folder / "codes.raw", everyCode);
    for (const auto& [format, name] : {std::pair{7, "alaw"}, std::pair{8, "mulaw"}}) {
        SwfWriter movie(10, 10, 24);
        const uint16_t id = movie.defineSound(format, 11025, false, false, 256, everyCode);
        movie.showFrame();
        writeFile(folder / "g711.swf", movie.finish());
        ASSERT_EQ(run("swfextract", {"-s", std::to_string(id), folder / "g711.swf", "-o", folder / "g.wav"}).exitCode,
                  0);
        EXPECT_EQ(decodedSamples(folder / "g.wav"),
                  decodedSamples(folder / "codes.raw", {"-f", name, "-ar", "11025", "-ac", "1"}))
            << name;
    }

    // Nellymoser comes from ffmpeg's encoder by way of FLV, whose audio tags carry it whole.
    const ProgramResult encoded =
        runProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=300:sample_rate=22050", "-t", "1",
                    "-c:a", "nellymoser", "-f", "flv", folder / "nelly.flv"});
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    const std::string flv = readFile(folder / "nelly.flv");
    std::string nelly;
    for (size_t at = 13; at + 11 <= flv.size();) {
        const size_t size = (static_cast<uint8_t>(flv[at + 1]) << 16) | (static_cast<uint8_t>(flv[at + 2]) << 8) |
                            static_cast<uint8_t>(flv[at + 3]);
        if (flv[at] == 8 && size > 1) nelly += flv.substr(at + 12, size - 1);
        at += 11 + size + 4;
    }
    SwfWriter movie(10, 10, 24);
    const uint16_t id = movie.defineSound(6, 22050, true, false, static_cast<uint32_t>(nelly.size() / 64 * 256), nelly);
    movie.showFrame();
    writeFile(folder / "nelly.swf", movie.finish());
    const ProgramResult extracted =
        run("swfextract", {"-s", std::to_string(id), folder / "nelly.swf", "-o", folder / "n.mp3"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_NEAR(durationSeconds(folder / "n.mp3"), 1.0, 0.05);
    EXPECT_EQ(folderNames(folder.path()).size(), 6u);
}

TEST(SwfToolsSafety, NeverOverwriteTheInputNorLeaveHalfFiles) {
    TempFolder folder;
    SwfWriter movie = streamMovie();
    const uint16_t pcm = movie.defineSoundPcm(sine(100, 1), 22050, false);
    const uint16_t speex = movie.defineSound(11, 5512, true, false, 320, std::string(40, '\x11'));
    const std::string path = folder / "in.swf";
    const std::string original = movie.finish(SwfCompression::Zlib);
    writeFile(path, original);
    fs::create_directory(folder / "sub");
    fs::create_symlink(path, folder / "link.swf");
    fs::create_hard_link(path, folder / "hard.swf");
    for (const std::string& out :
         {path, folder / "sub/../in.swf", folder / "./in.swf", folder / "link.swf", folder / "hard.swf"}) {
        for (const auto& args : {std::vector<std::string>{"swfextract", "-m", path, "-o", out},
                                 std::vector<std::string>{"swfextract", "-s", std::to_string(pcm), path, "-o", out},
                                 std::vector<std::string>{"swfcombine", "-d", path, "-o", out}}) {
            std::vector<std::string> argv = args;
            argv[0] = tool(args[0]);
            const ProgramResult result = runProgram(argv);
            EXPECT_EQ(result.exitCode, 1) << args[0] << " -o " << out;
            EXPECT_NE(result.err.find("refusing to overwrite the input"), std::string::npos) << result.err;
        }
    }
    EXPECT_EQ(readFile(path), original);

    // Failures leave an existing output as it was and no temporary files behind.
    writeFile(folder / "sub/keep.mp3", "earlier");
    const std::vector<std::string> namesBefore = folderNames(folder / "sub");
    for (const auto& args :
         {std::vector<std::string>{"-s", "999", path}, std::vector<std::string>{"-M", std::to_string(pcm), path},
          std::vector<std::string>{"-s", std::to_string(speex), path},
          std::vector<std::string>{"-m", folder / "sub"}}) {
        std::vector<std::string> argv = args;
        argv.insert(argv.end(), {"-o", folder / "sub/keep.mp3"});
        const ProgramResult failed = run("swfextract", argv);
        EXPECT_EQ(failed.exitCode, 1) << args[0] << " " << args[1];
        EXPECT_FALSE(failed.err.empty());
    }
    EXPECT_EQ(readFile(folder / "sub/keep.mp3"), "earlier");
    EXPECT_EQ(folderNames(folder / "sub"), namesBefore);

    // A name at the file system's length limit still has room for its temporary file beside it.
    const std::string longName = folder / (std::string(251, 'n') + ".mp3");
    EXPECT_EQ(run("swfextract", {"-m", path, "-o", longName}).exitCode, 0);
    EXPECT_EQ(readFile(longName), joinMp3Frames(toneFrames()));

    // Outputs that cannot be written, and usage mistakes.
    EXPECT_EQ(run("swfextract", {"-m", path, "-o", folder / "nowhere/x.mp3"}).exitCode, 1);
    EXPECT_EQ(run("swfextract", {"-m", path, "-o", folder / "sub"}).exitCode, 1);
    EXPECT_EQ(run("swfcombine", {"-d", path, "-o", folder / "nowhere/x.swf"}).exitCode, 1);
    for (const auto& args : {std::vector<std::string>{"-s", path, "-o", folder / "x"},
                             std::vector<std::string>{"-s", "-1", path, "-o", folder / "x"},
                             std::vector<std::string>{"-s", "70000", path, "-o", folder / "x"},
                             std::vector<std::string>{"-m", "-s", "1", path, "-o", folder / "x"},
                             std::vector<std::string>{path, "-o", folder / "x"}, std::vector<std::string>{"-m", path},
                             std::vector<std::string>{"-m", path, path, "-o", folder / "x"}}) {
        EXPECT_EQ(run("swfextract", args).exitCode, 2) << args[0] << " " << args[1];
    }
    EXPECT_EQ(run("swfcombine", {path, "-o", folder / "x"}).exitCode, 2);
    EXPECT_EQ(run("swfcombine", {"-d", path}).exitCode, 2);
    EXPECT_EQ(run("swfcombine", {"-d", path, path, "-o", folder / "x"}).exitCode, 2);
    EXPECT_FALSE(fs::exists(folder / "x"));
}

TEST(Swfcombine, WritesTheMovieUncompressedWithItsTrueLength) {
    TempFolder folder;
    const SwfWriter movie = streamMovie();
    const std::string plain = movie.finish();
    for (const SwfCompression compression : {SwfCompression::None, SwfCompression::Zlib, SwfCompression::Lzma}) {
        writeFile(folder / "in.swf", movie.finish(compression));
        fs::remove(folder / "work.swf");
        const ProgramResult combined = run("swfcombine", {"-d", folder / "in.swf", "-o", folder / "work.swf"});
        ASSERT_EQ(combined.exitCode, 0) << combined.err;
        EXPECT_EQ(readFile(folder / "work.swf"), plain);
    }
    // ffmpeg's SWF reader finds the MP3 stream in the working copy of the LZMA movie.
    const ProgramResult probe = runProgram(
        {"ffprobe", "-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", folder / "work.swf"});
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(probe.out, "mp3\n");

    // The corpus movie stored three ways gives the same working copy.
    TORVANE_NEEDS_CORPUS();
    for (const std::string kind : {"FWS", "CWS", "ZWS"}) {
        const ProgramResult combined = run("swfcombine", {"-d", swfCorpus("header/ruffle_same_movie_" + kind + ".swf"),
                                                          "-o", folder / ("same_" + kind + ".swf")});
        ASSERT_EQ(combined.exitCode, 0) << combined.err;
        EXPECT_EQ(readFile(folder / ("same_" + kind + ".swf")),
                  readFile(swfCorpus("header/ruffle_same_movie_FWS.swf")));
    }

    // Wrong lengths in an uncompressed header are mended; the data present is the movie.
    ASSERT_EQ(
        run("swfcombine", {"-d", swfCorpus("bad/ruffle_header_length_zero.swf"), "-o", folder / "z.swf"}).exitCode, 0);
    EXPECT_EQ(readFile(folder / "z.swf"), readFile(swfCorpus("bad/ruffle_header_length_zero.original.swf")));
    for (const std::string name : {"too_long", "too_short_no_end", "too_short_no_2nd_frame"}) {
        const std::string source = swfCorpus("bad/ruffle_header_length_" + name + ".swf");
        ASSERT_EQ(run("swfcombine", {"-d", source, "-o", folder / "l.swf"}).exitCode, 0) << name;
        const std::string copy = readFile(folder / "l.swf");
        EXPECT_EQ(swf::readU32(copy, 4), copy.size()) << name;
        EXPECT_EQ(copy.substr(8), readFile(source).substr(8)) << name;
        EXPECT_EQ(copy.substr(copy.size() - 2), std::string(2, '\0')) << name;
    }
}

TEST(SwfToolsCorpus, ExtractsTheStreamAndEventSoundOfARealMovie) {
    TORVANE_NEEDS_CORPUS();
    TempFolder folder;
    const std::string movie = swfCorpus("sound/jpexs_test_sounds_stream_mp3.swf");
    EXPECT_EQ(run("swfdump", {"-X", "-Y", "-f", "-r", movie}).out, "-X 550 -Y 400 -f 48 -r 24.00\n");
    const ProgramResult listed = run("swfextract", {movie});
    EXPECT_EQ(listed.out, " [-M] 1 MP3 Sound: ID(s) 1\n [-m] 1 MP3 Soundstream\n");

    ASSERT_EQ(run("swfextract", {"-m", movie, "-o", folder / "stream.mp3"}).exitCode, 0);
    ASSERT_EQ(run("swfextract", {"-M", "1", movie, "-o", folder / "event.mp3"}).exitCode, 0);
    // The reference WAVs come from another tool; decoded lengths agree within an MP3 frame.
    const auto seconds = [](const std::vector<int16_t>& samples) {
        return static_cast<double>(samples.size()) / 11025.0;
    };
    EXPECT_NEAR(seconds(decodedSamples(folder / "stream.mp3")),
                seconds(decodedSamples(swfCorpus("sound/jpexs_test_sounds_S1_streamsound.ref.wav"))), 0.06);
    EXPECT_NEAR(seconds(decodedSamples(folder / "event.mp3")),
                seconds(decodedSamples(swfCorpus("sound/jpexs_test_sounds_S1.ref.wav"))), 0.06);

    // The other corpus sounds: every listed id extracts to something ffmpeg reads.
    for (const std::string name : {"ruffle_event_mp3_and_pcm.swf", "ruffle_definesound_format8_mulaw.swf",
                                   "shumway_sound2_event_pcm.swf", "gnash_swfc_event_mp3.swf"}) {
        const ProgramResult list = run("swfextract", {swfCorpus("sound/" + name)});
        for (const std::string marker : {"[-s]", "[-M]"}) {
            const std::string ids = idList(list.out, marker);
            if (ids.empty()) continue;
            const std::string first = ids.substr(0, ids.find(','));
            const std::string out = folder / (name + marker.substr(2, 1) + ".mp3");
            const ProgramResult extracted =
                run("swfextract", {marker == "[-s]" ? "-s" : "-M", first, swfCorpus("sound/" + name), "-o", out});
            EXPECT_EQ(extracted.exitCode, 0) << name << ": " << extracted.err;
            EXPECT_GT(durationSeconds(out), 0.01) << name;
        }
    }
}

TEST(SwfToolsCorpus, BrokenFilesFailCleanlyAndWriteNothing) {
    TORVANE_NEEDS_CORPUS();
    TempFolder folder;
    for (const std::string name : {"ruffle_lzma_length_too_large.swf", "ruffle_lzma_malformed_length.swf",
                                   "shumway_empty_0bytes.swf", "shumway_text_not_swf.swf"}) {
        const std::string path = swfCorpus("bad/" + name);
        for (const auto& args : {std::vector<std::string>{"swfcombine", "-d", path, "-o", folder / "out"},
                                 std::vector<std::string>{"swfextract", "-m", path, "-o", folder / "out"},
                                 std::vector<std::string>{"swfextract", path}}) {
            std::vector<std::string> argv = args;
            argv[0] = tool(args[0]);
            const ProgramResult result = runProgram(argv);
            EXPECT_EQ(result.exitCode, 1) << args[0] << " " << name;
            EXPECT_EQ(result.out, "") << args[0] << " " << name;
            EXPECT_EQ(result.err.rfind(args[0] + ": ", 0), 0u) << result.err;
        }
    }
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

// Only swf::Error may come out of the reader, whatever the bytes; a crash or hang fails the run.
TEST(SwfReaderRobustness, MutatedMoviesOnlyEverGiveErrors) {
    SwfWriter writer = streamMovie();
    writer.defineSoundAdpcm(sine(5000, 2), 11025, true, 3);
    writer.defineSoundPcm(sine(50, 1), 5512, false);
    std::vector<std::string> seeds;
    for (const SwfCompression compression : {SwfCompression::None, SwfCompression::Zlib, SwfCompression::Lzma}) {
        seeds.push_back(writer.finish(compression));
    }
    std::mt19937 random(20261208);
    size_t accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = seeds[round % seeds.size()];
        if (round % 2 == 0) bytes.resize(random() % bytes.size());
        for (int flips = round % 5; flips > 0 && !bytes.empty(); --flips) {
            bytes[random() % bytes.size()] = static_cast<char>(random());
        }
        try {
            const swf::Movie movie = swf::parseMovie(bytes);
            for (const swf::DefinedSound& sound : swf::definedSounds(movie)) {
                if (sound.info.format == swf::kAdpcm) (void)swf::decodeAdpcm(sound.data, sound.info.stereo, 1u << 20);
            }
            (void)swf::mainSoundStream(movie);
            (void)swf::uncompressedFile(movie);
            ++accepted;
        } catch (const swf::Error&) {
        }
    }
    EXPECT_GT(accepted, 0u);

    // The programs themselves on a few of the same.
    TempFolder folder;
    for (int round = 0; round < 12; ++round) {
        std::string bytes = seeds[round % seeds.size()];
        bytes.resize(bytes.size() * (round + 1) / 13);
        writeFile(folder / "m.swf", bytes);
        for (const std::string name : {"swfdump", "swfextract"}) {
            const int code = run(name, {folder / "m.swf"}).exitCode;
            EXPECT_TRUE(code == 0 || code == 1) << name << " gave " << code;
        }
    }
}

}  // namespace
}  // namespace torvane::test
