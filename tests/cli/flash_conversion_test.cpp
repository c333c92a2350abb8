// A real Flash movie converted end to end by torvane-cli: swfcombine, the sound extraction,
// swfdump, flashgrab rendering into its pipe and ffmpeg encoding picture and sound.
#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace torvane
