// A real Flash movie converted end to end by torvane-cli: swfcombine, the sound extraction,
// swfdump, flashgrab rendering into its pipe and ffmpeg encoding picture and sound.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "flashgrab/swf_builder.h"
#include "support/test_support.h"

namespace torvane {
namespace {

class FlashConversionTest : public ::testing::Test {
protected:
    test::ProgramResult convert(const std::string& movie, const std::string& preset,
                                std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = {test::buildDir() + "/torvane-cli",
                                              "--program-folder",
                                              test::buildDir(),
                                              "--config-dir",
                                              config_.path(),
                                              "convert",
                                              "--preset",
                                              test::buildDir() + "/preset/" + preset,
                                              "--out",
                                              out_.path()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(movie);
        return test::runProgram(arguments);
    }
    // "codec_type,width,height" per stream and the duration, as ffprobe sees the file.
    static std::string probe(const std::string& file) {
        return test::runProgram({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type,width,height", "-of",
                                 "csv=p=0", file})
            .out;
    }
    std::string onlyOutput() const {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(out_.path())) files.push_back(entry.path());
        return files.size() == 1 ? files[0] : std::string();
    }

    test::TempFolder config_;
    test::TempFolder out_;
};

TEST_F(FlashConversionTest, AMovieWithAnMp3StreamBecomesAnMp4WithPictureAndSound) {
    TORVANE_NEEDS_CORPUS();
    const std::string movie = test::corpusDir() + "/swf_extra/sound/jpexs_test_sounds_stream_mp3.swf";
    const test::ProgramResult result = convert(movie, "+ 일반 파일변환/mp4_h264.ini");
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::string output = onlyOutput();
    ASSERT_FALSE(output.empty());
    const std::string streams = probe(output);
    EXPECT_NE(streams.find("video,"), std::string::npos) << streams;
    EXPECT_NE(streams.find("audio"), std::string::npos) << streams;
}

TEST_F(FlashConversionTest, APathWithDashesAndBlanksStillConverts) {
    TORVANE_NEEDS_CORPUS();
    test::TempFolder sources;
    const std::string movie = sources / "my movie - final.swf";
    std::filesystem::copy_file(test::corpusDir() + "/swf_extra/sound/jpexs_test_sounds_stream_mp3.swf", movie);
    const test::ProgramResult result = convert(movie, "+ 일반 파일변환/mp4_h264.ini");
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(probe(onlyOutput()).find("video,550,400"), std::string::npos);
}

TEST_F(FlashConversionTest, ATestEncodeStopsReadingEarlyAndStillEnds) {
    TORVANE_NEEDS_CORPUS();
    // ffmpeg stops after one second of the two-second movie; flashgrab's next write fails and it
    // ends, so the run ends too instead of waiting on a pipe nobody reads.
    const std::string movie = test::corpusDir() + "/swf_extra/sound/jpexs_test_sounds_stream_mp3.swf";
    const test::ProgramResult result = convert(movie, "+ 일반 파일변환/mp4_h264.ini", {"--test", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::string duration =
        test::runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", onlyOutput()})
            .out;
    EXPECT_LT(std::stod(duration), 1.5) << duration;
}

// A range on a Flash source: flashgrab plays the frames before it unsent and stops at its end,
// so the file holds the range's frames only, starting with the range's first.
TEST_F(FlashConversionTest, ARangeGivesItsLengthAndStartsAtItsFirstFrame) {
    namespace swf = flashgrab::test;
    // Three seconds at 24 frames a second: red for two seconds, then blue.
    std::vector<std::vector<std::uint8_t>> tags = {
        swf::backgroundTag(255, 255, 255), swf::rectangleShape(1, 0, 0, 64 * 20, 48 * 20, 255, 0, 0),
        swf::rectangleShape(2, 0, 0, 64 * 20, 48 * 20, 0, 0, 255), swf::placeObject(1, 1)};
    for (int frame = 1; frame <= 72; ++frame) {
        if (frame == 49) {
            tags.push_back(swf::removeObject(1));
            tags.push_back(swf::placeObject(1, 2));
        }
        tags.push_back(swf::showFrame());
    }
    test::TempFolder sources;
    const std::string movie = sources / "red then blue - 3s.swf";
    std::ofstream(movie, std::ios::binary) << swf::asString(swf::movie(64, 48, 72, tags));

    const test::ProgramResult result = convert(movie, "+ 일반 파일변환/mp4_h264.ini", {"--start", "2", "--end", "3"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::string output = onlyOutput();
    const std::string frames = test::runProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                                 "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", output})
                                   .out;
    EXPECT_EQ(std::stoi(frames), 24) << frames;
    // The first picture is blue: frame 49, at 2.0 s.
    const test::ProgramResult first =
        test::runProgram({"ffmpeg", "-v", "error", "-i", output, "-frames:v", "1", "-vf", "crop=8:8:28:20,scale=1:1",
                          "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    ASSERT_EQ(first.out.size(), 3u) << first.err;
    EXPECT_LT(static_cast<unsigned char>(first.out[0]), 60);
    EXPECT_GT(static_cast<unsigned char>(first.out[2]), 200);
}

// The sound of a Flash movie, taken out beforehand, is cut to the same range as its pictures.
TEST_F(FlashConversionTest, ARangeCutsTheSoundToo) {
    TORVANE_NEEDS_CORPUS();
    const std::string movie = test::corpusDir() + "/swf_extra/sound/jpexs_test_sounds_stream_mp3.swf";
    const test::ProgramResult result =
        convert(movie, "+ 일반 파일변환/mp4_h264.ini", {"--start", "0.5", "--end", "1.5"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::string durations = test::runProgram({"ffprobe", "-v", "error", "-show_entries",
                                                    "stream=codec_type,duration", "-of", "csv=p=0", onlyOutput()})
                                      .out;
    // One line per stream: "video,1.000000", "audio,1.002667" (and the hint tracks' "data").
    int streams = 0;
    for (std::size_t at = 0; at < durations.size();) {
        const std::size_t end = durations.find('\n', at);
        const std::string line = durations.substr(at, end - at);
        at = end == std::string::npos ? durations.size() : end + 1;
        const std::size_t comma = line.find(',');
        const std::string kind = line.substr(0, comma);
        if (comma == std::string::npos || (kind != "video" && kind != "audio")) continue;
        ++streams;
        EXPECT_NEAR(std::stod(line.substr(comma + 1)), 1.0, 0.1) << durations;
    }
    EXPECT_EQ(streams, 2) << durations;
}

}  // namespace
}  // namespace torvane
