// Runs the built torvane-cli as a user would, against the program folder of the build.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "support/loopback_http_server.h"
#include "support/test_support.h"
#include "update/program_version.h"

namespace torvane {
namespace {

class CliTest : public ::testing::Test {
protected:
    test::ProgramResult run(std::vector<std::string> arguments, std::vector<std::string> environment = {}) {
        arguments.insert(arguments.begin(), test::buildDir() + "/torvane-cli");
        return test::runProgram(arguments, environment);
    }
    // Global options placed after the command, as a user may write them.
    test::ProgramResult runIn(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--program-folder", test::buildDir(), "--config-dir", config_.path()});
        return run(arguments);
    }
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> result;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);) result.push_back(line);
        return result;
    }
    test::TempFolder config_;
};

TEST_F(CliTest, UsageErrorsExitTwoWithOneLine) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"--bogus"},
                                               {"show-preset"},
                                               {"show-preset", "a", "b"},
                                               {"presets", "extra"},
                                               {"formats", "--container"},
                                               {"options", "nosuchoption"},
                                               {"options", "--config-dir"}}) {
        const test::ProgramResult result = run(arguments);
        SCOPED_TRACE(result.err);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(lines(result.err).size(), 1u);
        EXPECT_EQ(result.out, "");
    }
}

TEST_F(CliTest, EveryCommandHasHelp) {
    const test::ProgramResult overview = run({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    for (const char* command :
         {"presets", "show-preset", "formats", "options", "probe", "command", "convert", "update"}) {
        EXPECT_NE(overview.out.find(command), std::string::npos) << command;
        const test::ProgramResult help = run({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_NE(help.out.find(std::string("Usage: torvane-cli [global options] ") + command), std::string::npos);
    }
}

TEST_F(CliTest, UpdateReportsTheOfferAndFetchesTheInstallerWithoutStartingIt) {
    // The request carries the number of the version --version shows.
    const test::ProgramResult version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "torvane-cli " + std::string(kProgramVersionText) + "\n");
    const std::string asked = "/version.php?ver=" + std::to_string(kProgramVersionNumber) + "&a=0";

    test::LoopbackHttpServer server;
    server.setReply("/version.php", {200,
                                     "[TORVANE]\nver=999999\nmsg=line one\\nline two\ndownload_url=" +
                                         server.address() + "/get/torvane_99.deb\ndownload_size=3\n",
                                     false});
    server.setReply("/get/torvane_99.deb", {200, "deb", false});
    ASSERT_EQ(runIn({"options", "updateserver", server.address()}).exitCode, 0);
    const test::TempFolder runtime;

    const test::ProgramResult check = runIn({"update"});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_NE(check.out.find("offered version: 999999\nmessage:\nline one\nline two\n"), std::string::npos)
        << check.out;

    const std::string installer = runtime.path() + "/torvane/torvane_99.deb";
    const test::ProgramResult fetch =
        run({"--config-dir", config_.path(), "update", "--download"}, {"XDG_RUNTIME_DIR=" + runtime.path()});
    EXPECT_EQ(fetch.exitCode, 0) << fetch.err;
    EXPECT_NE(fetch.out.find("installer: " + installer), std::string::npos) << fetch.out;
    EXPECT_EQ(test::readFile(installer), "deb");
    EXPECT_EQ(server.requests(), (std::vector<std::string>{asked, asked, "/get/torvane_99.deb"}));
}

TEST_F(CliTest, PresetsListsTheShippedTree) {
    const test::ProgramResult result = runIn({"presets"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> output = lines(result.out);
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(output.front(), "[+ 일반 파일변환]");
    std::size_t presets = 0;
    for (const std::string& line : output) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        ++presets;
        const std::string path = line.substr(tab + 1);
        EXPECT_EQ(path.rfind(test::buildDir() + "/preset/", 0), 0u) << line;
        EXPECT_TRUE(std::filesystem::exists(path)) << path;
    }
    EXPECT_GE(presets, 10u);
    EXPECT_NE(result.out.find("\n[특별기능]\n"), std::string::npos);
    EXPECT_NE(result.out.find("\n[기기설정]\n"), std::string::npos);
}

TEST_F(CliTest, ShowPresetPrintsTheDefaultsOfAnEmptyFileInTableOrder) {
    const std::string path = config_ / "empty preset.ini";
    test::writeFile(path, "");
    const test::ProgramResult result = runIn({"show-preset", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> output = lines(result.out);
    ASSERT_EQ(output.size(), 48u);
    EXPECT_EQ(output[0], "profilePath=" + path);
    EXPECT_EQ(output[1], "info_subject=기본");
    EXPECT_EQ(output[4], "container=avi");
    EXPECT_EQ(output[8], "video_codec=xvid");
    EXPECT_EQ(output[38], "filter_ratate=0");
    EXPECT_EQ(output[46], "speed=1.0");
    EXPECT_EQ(output[47], "sub_embed=n");

    const test::ProgramResult missing = runIn({"show-preset", config_ / "missing.ini"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("missing.ini"), std::string::npos);
}

TEST_F(CliTest, FormatsListsContainersAndOneInFull) {
    const test::ProgramResult all = runIn({"formats"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_NE(all.out.find("\nmp4\t"), std::string::npos);
    EXPECT_EQ(all.out.rfind("avi\t", 0), 0u) << "the list starts with the default format";

    const test::ProgramResult one = runIn({"formats", "--container", "mp4"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.out.rfind("[container_mp4]\nkind=mp4\n", 0), 0u);
    EXPECT_NE(one.out.find("\n[vcodec_"), std::string::npos);
    EXPECT_NE(one.out.find("\n[acodec_"), std::string::npos);
    EXPECT_NE(one.out.find("\nparam2="), std::string::npos);

    EXPECT_EQ(runIn({"formats", "--container", "nosuchformat"}).exitCode, 1);

    // The installed encoders can run everything shipped.
    const test::ProgramResult check = runIn({"formats", "--check"});
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_NE(check.out.find("표시된 항목 0개\n"), std::string::npos) << check.out;
    EXPECT_EQ(run({"formats", "--program-folder", config_.path()}).exitCode, 1);  // no catalogue there
}

TEST_F(CliTest, OptionsReadDefaultsAndStoreValues) {
    const test::ProgramResult all = runIn({"options"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    const std::vector<std::string> output = lines(all.out);
    EXPECT_EQ(output.size(), 29u);
    EXPECT_EQ(output.front(), "closetotray=n");
    EXPECT_NE(all.out.find("\nparallel=1\n"), std::string::npos);
    EXPECT_NE(all.out.find("\nlastpreset=" + test::buildDir() + "/common_avi.ini\n"), std::string::npos);

    EXPECT_EQ(runIn({"options", "logocorner", "2"}).exitCode, 0);
    EXPECT_EQ(runIn({"options", "logocorner"}).out, "2\n");
    EXPECT_EQ(runIn({"options", "lastoutdir", "/home/사용자/영상 폴더"}).exitCode, 0);
    EXPECT_EQ(runIn({"options", "lastoutdir"}).out, "/home/사용자/영상 폴더\n");

    // The environment chooses the store when no --config-dir is given.
    EXPECT_EQ(run({"options", "logocorner"}, {"TORVANE_CONFIG_DIR=" + config_.path()}).out, "2\n");

    // A store that cannot be written: the value is refused, reading still works on defaults.
    test::writeFile(config_ / "blocker", "x");
    const std::string unwritable = config_ / "blocker/torvane";
    const test::ProgramResult refused = run({"options", "logouse", "y", "--config-dir", unwritable});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find(unwritable), std::string::npos);
    EXPECT_EQ(run({"options", "logouse", "--config-dir", unwritable}).out, "n\n");
}

TEST_F(CliTest, ProbePrintsCellsPanelTextsAndFactsOfEachFile) {
    const std::string media = test::testMedia("av.mp4");
    const std::string notMedia = test::testMedia("not_media.txt");
    const test::ProgramResult result = runIn({"probe", media, notMedia, config_ / "missing.mp4"});
    EXPECT_EQ(result.exitCode, 1) << result.err;  // two of three refused
    const std::vector<std::string> output = lines(result.out);
    ASSERT_GT(output.size(), 20u);
    EXPECT_EQ(output[0], "== " + media);
    EXPECT_EQ(output[1], "col1=av.mp4");
    EXPECT_EQ(output[2], "col2=00:00:02");
    EXPECT_EQ(output[3], "col3=320 x 240");
    EXPECT_EQ(output[6], "col6=X");
    EXPECT_EQ(output[10].rfind("fileLine=av.mp4\\r\\nMPEG-4(", 0), 0u) << output[10];
    EXPECT_NE(result.out.find("\nvideoWidth=320\n"), std::string::npos);
    EXPECT_NE(result.out.find("\ndurationSeconds=2\n"), std::string::npos);
    EXPECT_NE(result.out.find("\n== " + notMedia + "\nrefused=멀티미디어 파일이 아닙니다.\n"), std::string::npos);
    EXPECT_NE(result.out.find("missing.mp4\nrefused="), std::string::npos);
    // A terminal probe does not touch the option store.
    EXPECT_FALSE(std::filesystem::exists(config_ / "options.ini"));
}

TEST_F(CliTest, ProbeWritesJsonAndReports) {
    const std::string media = test::testMedia("audio_only.mp3");
    const test::ProgramResult json = runIn({"probe", "--json", media});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out.rfind("[{\"path\":\"" + media + "\",\"col1\":\"audio_only.mp3\"", 0), 0u) << json.out;
    EXPECT_NE(json.out.find("\"audioStreamCount\":1"), std::string::npos);
    EXPECT_NE(json.out.find("\"audioLine\":\"MPEG Audio(Layer 3)\\r\\nCBR"), std::string::npos);
    EXPECT_EQ(json.out.back(), '\n');

    const test::ProgramResult report = runIn({"probe", "--report", "complete", media});
    ASSERT_EQ(report.exitCode, 0);
    const auto reportStart = report.out.find("\n-- report\nGeneral\n");
    ASSERT_NE(reportStart, std::string::npos);
    EXPECT_NE(report.out.find("Count of audio streams", reportStart), std::string::npos);
}

TEST_F(CliTest, ProbeTakesDashedNamesAfterTheEndOfOptions) {
    const std::string dashed = config_ / "-dash.mp4";
    std::filesystem::copy_file(test::testMedia("av.mp4"), dashed);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(config_.path());
    const test::ProgramResult result = run({"probe", "--config-dir", config_.path(), "--", "-dash.mp4"});
    std::filesystem::current_path(previous);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("col1=-dash.mp4"), std::string::npos);
}

TEST_F(CliTest, ProbeNamesTheMissingLibraryAndItsPackage) {
    const test::ProgramResult result =
        run({"probe", test::testMedia("av.mp4")}, {"TORVANE_MEDIAINFO_LIBRARY=/nonexistent/libmediainfo.so.0"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(lines(result.err).size(), 1u);
    EXPECT_NE(result.err.find("libmediainfo0v5"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

TEST_F(CliTest, CommandPrintsTheCommandLineOfEachFile) {
    const std::string out = config_ / "out";
    const std::string clip = test::testMedia("av.mp4");
    const std::string preset = test::buildDir() + "/common_avi.ini";
    const test::ProgramResult result =
        runIn({"command", "--preset", preset, "--out", out, "--test", "5", "--set", "video_bitrate=800", clip});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> output = lines(result.out);
    ASSERT_EQ(output.size(), 1u);
    EXPECT_EQ(output[0].rfind("\"/usr/bin/ffmpeg\" -y  -i \"" + clip + "\" -c:v libxvid -b:v 800k", 0), 0u)
        << output[0];
    EXPECT_NE(output[0].find(" -ss 00:00:00.00 -t  5 "), std::string::npos);
    EXPECT_NE(output[0].find(" \"" + out + "/av.avi\" "), std::string::npos);

    // An existing output gives the "(1)" name; --same-folder writes beside the source.
    test::writeFile(out + "/av.avi", "taken");
    EXPECT_NE(runIn({"command", "--preset", preset, "--out", out, clip}).out.find("/av(1).avi\""), std::string::npos);
    const std::string beside = runIn({"command", "--preset", preset, "--same-folder", clip}).out;
    EXPECT_NE(beside.find("\"" + test::buildDir() + "/test-media/av.avi\""), std::string::npos) << beside;
}

TEST_F(CliTest, CommandMakesRelativeNamesAbsoluteAndReportsRefusals) {
    const std::string preset = test::buildDir() + "/common_avi.ini";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(test::buildDir() + "/test-media");
    const test::ProgramResult result = run({"command", "--config-dir", config_.path(), "--preset", preset, "--out",
                                            config_.path(), "av.mp4", "not_media.txt"});
    std::filesystem::current_path(previous);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("-i \"" + test::buildDir() + "/test-media/av.mp4\""), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("not_media.txt: 멀티미디어 파일이 아닙니다."), std::string::npos) << result.err;
    EXPECT_EQ(runIn({"command", "--preset", config_ / "missing.ini", test::testMedia("av.mp4")}).exitCode, 1);
}

TEST_F(CliTest, PresetValuesThatAreNotWhatTheirKeyMeansStopTheCommandBeforeAnythingRuns) {
    const std::string out = config_ / "out";
    const std::string preset = test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini";
    for (const char* command : {"command", "convert"}) {
        const test::ProgramResult refused = runIn({command, "--preset", preset, "--out", out, "--set",
                                                   "video_fps=15 -f mp4 " + out + "/x", test::testMedia("av.mp4")});
        EXPECT_EQ(refused.exitCode, 1) << command;
        EXPECT_EQ(refused.out, "") << command;
        EXPECT_NE(refused.err.find("프리셋 값이 올바르지 않습니다: " + preset + " 의 video_fps = \"15 -f mp4 " + out +
                                   "/x\""),
                  std::string::npos)
            << refused.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << command;
    }
    // A value the profile file itself holds is refused the same way.
    test::writeFile(config_ / "odd.ini", "[SETTING]\ncontainer=mp4\nvideo_codec=h264\naudio_codec=aac\nvolume=loud\n");
    const test::ProgramResult fromFile = runIn({"command", "--preset", config_ / "odd.ini", test::testMedia("av.mp4")});
    EXPECT_EQ(fromFile.exitCode, 1);
    EXPECT_NE(fromFile.err.find(config_ / "odd.ini" + " 의 volume = \"loud\""), std::string::npos) << fromFile.err;
}

TEST_F(CliTest, ARelativeOutputFolderIsTheCurrentFoldersAndTheNameStaysInIt) {
    const std::string preset = test::buildDir() + "/common_avi.ini";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(config_.path());
    const test::ProgramResult result =
        run({"command", "--config-dir", config_.path(), "--preset", preset, "--out", "rel/dir/", "--set",
             "filename=../../x_{ori_name}.{base_ext}", test::testMedia("av.mp4")});
    std::filesystem::current_path(previous);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(" \"" + config_.path() + "/rel/dir/x_av.avi\""), std::string::npos) << result.out;
}

TEST_F(CliTest, ConvertRunsTheListAndEndsWithATable) {
    const std::string out = config_ / "converted";
    const std::string preset = test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini";
    const test::ProgramResult result = runIn({"convert", "--preset", preset, "--out", out, "--test", "1",
                                              test::testMedia("av.mp4"), test::testMedia("audio_only.mp3")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\n결과:\n  av.mp4\t100%\t" + out + "/av.mp4\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("  audio_only.mp3\t100%\t" + out + "/audio_only.mp4\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(out + "/av.mp4"));  // the output folder was made

    // An input ffmpeg cannot open fails the item with ffmpeg's reason. The null output before it
    // takes the output options the extra options follow, so they are not read as input options.
    const test::ProgramResult failed = runIn({"convert", "--preset", preset, "--out", out, "--set",
                                              "plusparam2=-f null - -i /no/such/input.mp4", test::testMedia("av.mp4")});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.out.find("\t실패 ("), std::string::npos) << failed.out;
    EXPECT_NE(failed.out.find("No such file or directory"), std::string::npos) << failed.out;
    EXPECT_NE(failed.out.find("    기록: "), std::string::npos) << failed.out;

    // A file that is not media is named, and the rest of the list converts.
    const test::ProgramResult mixed = runIn({"convert", "--preset", preset, "--out", out, "--test", "1",
                                             test::testMedia("not_media.txt"), test::testMedia("av.mp4")});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_NE(mixed.err.find("not_media.txt: 멀티미디어 파일이 아닙니다."), std::string::npos) << mixed.err;
    EXPECT_NE(mixed.out.find("  av.mp4\t100%\t" + out + "/av(1).mp4\n"), std::string::npos) << mixed.out;
}

TEST_F(CliTest, ConvertTakesARangeAndDropsTheSound) {
    const std::string out = config_ / "converted";
    const std::string preset = test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini";
    const test::ProgramResult result = runIn({"convert", "--preset", preset, "--out", out, "--start", "1", "--end",
                                              "0:00:03", "--no-sound", test::testMedia("av4.mp4")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const test::ProgramResult probe =
        test::runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration:stream=codec_type", "-of",
                          "csv=p=0", out + "/av4.mp4"});
    EXPECT_EQ(probe.out.find("audio"), std::string::npos) << probe.out;
    const double seconds = std::stod(probe.out.substr(probe.out.rfind('\n', probe.out.size() - 2) + 1));
    EXPECT_NEAR(seconds, 2.0, 0.1) << probe.out;

    EXPECT_EQ(runIn({"convert", "--preset", preset, "--start", "1:75", test::testMedia("av4.mp4")}).exitCode, 2);
    const test::ProgramResult late = runIn({"command", "--preset", preset, "--start", "9", test::testMedia("av4.mp4")});
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_EQ(late.out, "");
}

TEST_F(CliTest, CtrlCStopsTheRunAndLeavesNothingRunning) {
    const std::string preset = test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini";
    const std::vector<std::string> argv = {test::buildDir() + "/torvane-cli",
                                           "convert",
                                           "--config-dir",
                                           config_.path(),
                                           "--preset",
                                           preset,
                                           "--out",
                                           config_ / "out",
                                           "--set",
                                           "plusparam2=-af arealtime",
                                           test::testMedia("av4.mp4")};
    int output[2];
    ASSERT_EQ(::pipe(output), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(output[1], 1);
        ::close(output[0]);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(output[1]);
    // Wait for the first progress line, then press Ctrl-C.
    std::string seen;
    char buffer[256];
    while (seen.find("[1/1]") == std::string::npos) {
        const ssize_t n = ::read(output[0], buffer, sizeof buffer);
        ASSERT_GT(n, 0) << seen;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    // The encoder it started (the first progress line may come just before it).
    std::vector<int> encoders = test::childProcessIds(pid);
    for (int tries = 0; encoders.empty() && tries < 500; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        encoders = test::childProcessIds(pid);
    }
    EXPECT_FALSE(encoders.empty());
    ::kill(pid, SIGINT);
    for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<std::size_t>(n));
    ::close(output[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130) << seen;
    EXPECT_NE(seen.find("\t중지됨 ("), std::string::npos) << seen;
    // No encoder outlives the run.
    for (const int encoder : encoders)
        EXPECT_TRUE(test::processEndsWithin(encoder, std::chrono::seconds(5))) << encoder;
}

// Two programs converting into one folder at once, sources of the same name: each output is
// complete and neither replaces the other.
TEST_F(CliTest, TwoConvertsIntoOneFolderKeepBothFiles) {
    const std::string out = config_ / "out";
    const std::string preset = test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini";
    std::filesystem::create_directories(config_ / "a");
    std::filesystem::create_directories(config_ / "b");
    std::filesystem::copy_file(test::testMedia("av.mp4"), config_ / "a/same.mp4");
    std::filesystem::copy_file(test::testMedia("av4.mp4"), config_ / "b/same.mp4");
    const auto convert = [&](const std::string& source) {
        return runIn({"convert", "--preset", preset, "--set", "plusparam2=-preset ultrafast", "--out", out, source});
    };
    auto first = std::async(std::launch::async, convert, config_ / "a/same.mp4");
    auto second = std::async(std::launch::async, convert, config_ / "b/same.mp4");
    const test::ProgramResult one = first.get();
    const test::ProgramResult two = second.get();
    ASSERT_EQ(one.exitCode, 0) << one.out << one.err;
    ASSERT_EQ(two.exitCode, 0) << two.out << two.err;
    std::vector<std::string> names;
    std::multiset<long> seconds;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        names.push_back(entry.path().filename().string());
        const test::ProgramResult probe = test::runProgram(
            {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", entry.path().string()});
        seconds.insert(std::lround(std::stod(probe.out)));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"same(1).mp4", "same.mp4"}));
    EXPECT_EQ(seconds, (std::multiset<long>{2, 4}));
}

// --jobs converts several files at once and reports them in list order; more jobs than processors
// counts as their number, and no job at all is a usage error.
TEST_F(CliTest, ConvertJobsRunsSeveralFilesAtOnce) {
    const std::string out = config_ / "converted";
    const std::string preset = test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini";
    const test::ProgramResult result =
        runIn({"convert", "--preset", preset, "--out", out, "--jobs", "99", "--set", "plusparam2=-preset ultrafast",
               test::testMedia("av.mp4"), test::testMedia("audio_only.mp3"), test::testMedia("wide.mkv")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\n결과:\n  av.mp4\t100%\t" + out + "/av.mp4\n  audio_only.mp3\t100%\t" + out +
                              "/audio_only.mp4\n  wide.mkv\t100%\t" + out + "/wide.mp4\n"),
              std::string::npos)
        << result.out;

    const test::ProgramResult none = runIn({"convert", "--preset", preset, "--jobs", "0", test::testMedia("av.mp4")});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(lines(none.err).size(), 1u) << none.err;
}

}  // namespace
}  // namespace torvane
