// swfextract: lists the sounds a movie holds, or writes one of them to a file:
//   swfextract FILE                 the listing
//   swfextract -m FILE -o OUT       the main timeline's MP3 sound stream
//   swfextract -M ID FILE -o OUT    an MP3 DefineSound
//   swfextract -s ID FILE -o OUT    any DefineSound: MP3 as MP3, the others as WAV

#include <iostream>
#include <string>
#include <vector>

#include "tools/output_file.h"
#include "tools/swf_reader.h"
#include "tools/swf_sound.h"

namespace {

constexpr const char* kUsage =
    "usage: swfextract FILE                list what can be extracted\n"
    "       swfextract -m FILE -o OUT      the main sound stream (MP3)\n"
    "       swfextract -M ID FILE -o OUT   an embedded MP3 sound\n"
    "       swfextract -s ID FILE -o OUT   an embedded sound (MP3 as MP3, others as WAV)\n";

enum class Mode { List, Stream, Mp3Sound, Sound };

struct Request {
    Mode mode = Mode::List;
    int id = -1;
    std::string input;
    std::string output;
};

struct UsageError {
    std::string message;
};

int parseId(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(text) > 65535) {
        throw UsageError{"not a sound ID: " + text};
    }
    return std::stoi(text);
}

Request parseArguments(int argc, char** argv) {
    Request request;
    bool modeGiven = false;
    const auto setMode = [&](Mode mode) {
        if (modeGiven) throw UsageError{"give only one of -m, -M and -s"};
        modeGiven = true;
        request.mode = mode;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError{arg + " needs a value"};
            return argv[++i];
        };
        if (arg == "-m") {
            setMode(Mode::Stream);
        } else if (arg == "-M") {
            setMode(Mode::Mp3Sound);
            request.id = parseId(value());
        } else if (arg == "-s") {
            setMode(Mode::Sound);
            request.id = parseId(value());
        } else if (arg == "-o") {
            if (!request.output.empty()) throw UsageError{"-o given twice"};
            request.output = value();
            if (request.output.empty()) throw UsageError{"-o needs a file name"};
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError{"unknown option " + arg};
        } else if (request.input.empty()) {
            request.input = arg;
        } else {
            throw UsageError{"more than one file given"};
        }
    }
    if (request.input.empty()) throw UsageError{"no file given"};
    if (request.mode != Mode::List && request.output.empty()) throw UsageError{"no output file given (-o)"};
    if (request.mode == Mode::List && !request.output.empty()) throw UsageError{"-o needs one of -m, -M or -s"};
    return request;
}

std::string idList(const std::vector<uint16_t>& ids) {
    std::string text;
    for (const uint16_t id : ids) text += (text.empty() ? "" : ", ") + std::to_string(id);
    return text;
}

std::string counted(size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// The converter reads the lines holding "[-s]" and "[-M]": the ids after "ID(s)", comma-separated.
void printListing(const swf::Movie& movie) {
    std::vector<uint16_t> sounds, mp3Sounds, others;
    for (const swf::DefinedSound& sound : swf::definedSounds(movie)) {
        if (sound.info.format == swf::kMp3) {
            mp3Sounds.push_back(sound.id);
        } else if (swf::canExtract(sound.info.format)) {
            sounds.push_back(sound.id);
        } else {
            others.push_back(sound.id);
        }
    }
    const swf::SoundStream stream = swf::mainSoundStream(movie);
    bool any = false;
    if (!sounds.empty()) {
        std::cout << " [-s] " << counted(sounds.size(), "Sound") << ": ID(s) " << idList(sounds) << "\n";
        any = true;
    }
    if (!mp3Sounds.empty()) {
        std::cout << " [-M] " << counted(mp3Sounds.size(), "MP3 Sound") << ": ID(s) " << idList(mp3Sounds) << "\n";
        any = true;
    }
    if (stream.present && stream.info.format == swf::kMp3 && !stream.mp3.empty()) {
        std::cout << " [-m] 1 MP3 Soundstream\n";
        any = true;
    } else if (stream.present && stream.blocksWithData > 0) {
        std::cout << " (a " << swf::formatName(stream.info.format) << " Soundstream, which cannot be extracted)\n";
        any = true;
    }
    if (!others.empty()) {
        std::cout << " (" << counted(others.size(), "Sound") << " that cannot be extracted: " << idList(others)
                  << ")\n";
        any = true;
    }
    if (!any) std::cout << "No sounds to extract.\n";
}

const swf::DefinedSound& findSound(const std::vector<swf::DefinedSound>& sounds, int id) {
    for (const swf::DefinedSound& sound : sounds) {
        if (sound.id == id) return sound;
    }
    throw swf::Error("there is no sound with ID " + std::to_string(id));
}

// An MP3 DefineSound starts with SeekSamples; the frames follow.
void writeMp3Sound(const swf::DefinedSound& sound, const Request& request) {
    constexpr size_t kSeekSamplesBytes = 2;
    if (sound.data.size() <= kSeekSamplesBytes) {
        throw swf::Error("sound " + std::to_string(sound.id) + " holds no MP3 frames");
    }
    swf::writeOutput(request.output, request.input, sound.data.substr(kSeekSamplesBytes));
}

void extract(const swf::Movie& movie, const Request& request) {
    if (request.mode == Mode::Stream) {
        const swf::SoundStream stream = swf::mainSoundStream(movie);
        if (!stream.present) throw swf::Error("the main timeline has no sound stream");
        if (stream.info.format != swf::kMp3) {
            throw swf::Error("the main sound stream is " + swf::formatName(stream.info.format) + ", not MP3");
        }
        if (stream.mp3.empty()) throw swf::Error("the main sound stream holds no MP3 frames");
        swf::writeOutput(request.output, request.input, stream.mp3);
        return;
    }
    const std::vector<swf::DefinedSound> sounds = swf::definedSounds(movie);
    const swf::DefinedSound& sound = findSound(sounds, request.id);
    if (sound.info.format == swf::kMp3) {
        writeMp3Sound(sound, request);
    } else if (request.mode == Mode::Mp3Sound) {
        throw swf::Error("sound " + std::to_string(sound.id) + " is " + swf::formatName(sound.info.format) +
                         ", not MP3 (use -s)");
    } else {
        swf::writeSoundAsWav(sound, request.output, request.input);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Request request;
    try {
        for (int i = 1; i < argc; ++i) {
            if (std::string(argv[i]) == "-h" || std::string(argv[i]) == "--help") {
                std::cout << kUsage;
                return 0;
            }
        }
        request = parseArguments(argc, argv);
    } catch (const UsageError& error) {
        std::cerr << "swfextract: " << error.message << "\n" << kUsage;
        return 2;
    }
    try {
        const swf::Movie movie = swf::parseMovie(swf::readWholeFile(request.input));
        if (request.mode == Mode::List) {
            printListing(movie);
        } else {
            extract(movie, request);
        }
    } catch (const std::exception& error) {
        std::cerr << "swfextract: " << request.input << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
