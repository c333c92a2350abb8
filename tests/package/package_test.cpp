// The Debian package that scripts/package.sh makes, unpacked into a temporary root as dpkg would
// install it: its programs must work from there, finding their program folder under that root
// (never the build folder), and what it gives the desktop must pass the desktop's own checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "support/test_support.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

const std::string kPackage = test::buildDir() + "/torvane_" TORVANE_VERSION "_amd64.deb";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Only a package made from this build proves anything about it.
        std::error_code error;
        const bool current = fs::exists(kPackage) && fs::last_write_time(kPackage, error) >=
                                                         fs::last_write_time(test::buildDir() + "/torvane-cli", error);
        if (!current) {
            const std::string missing = "no package of this build at " + kPackage + " (scripts/package.sh makes it)";
            // CI builds the package (scripts/test.sh): there its absence is a fault, not a reason to skip.
            const char* ci = std::getenv("CI");
            if (ci != nullptr && *ci != '\0') FAIL() << missing;
            GTEST_SKIP() << missing;
        }
        const test::ProgramResult unpacked = test::runProgram({"dpkg-deb", "-x", kPackage, root_.path()});
        ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
    }

    std::string installed(const std::string& path) const { return root_.path() + path; }

    test::TempFolder root_;
    test::TempFolder work_;
};

TEST_F(PackageTest, ItsProgramsWorkFromTheirOwnProgramFolder) {
    const std::string programFolder = installed("/usr/lib/torvane");
    const std::string cli = installed("/usr/bin/torvane-cli");
    ASSERT_TRUE(fs::is_symlink(cli));
    EXPECT_EQ(fs::read_symlink(cli), "../lib/torvane/torvane-cli");
    EXPECT_EQ(fs::read_symlink(installed("/usr/bin/torvane")), "../lib/torvane/torvane");
    for (const char* name : {"flashgrab", "swfdump", "swfextract", "swfcombine", "flvtool2", "mp4creator",
                             "torvane.ini", "common_avi.ini"}) {
        EXPECT_TRUE(fs::is_regular_file(programFolder + "/" + name)) << name;
    }
    // The subtitle font is the system's own NanumGothic (fonts-nanum), reached by a relative link.
    const fs::path font = fs::read_symlink(programFolder + "/mplayer/subfont.ttf");
    EXPECT_TRUE(font.is_relative()) << font;
    EXPECT_EQ((fs::path("/usr/lib/torvane/mplayer") / font).lexically_normal(),
              "/usr/share/fonts/truetype/nanum/NanumGothic.ttf");
    // The stripped programs and the browser view module load with the system's libraries alone.
    for (const char* name : {"torvane", "torvane-cli", "flashgrab", "torvane_web_view.so"}) {
        const test::ProgramResult libraries = test::runProgram({"ldd", programFolder + "/" + name});
        EXPECT_EQ(libraries.exitCode, 0) << name << libraries.err;
        EXPECT_EQ(libraries.out.find("not found"), std::string::npos) << name << "\n" << libraries.out;
    }

    // The window starts from there too: it finds its catalogue, opens and paints (and ends at
    // once, for the start-up benchmark's variable), as a copy of its own in a private runtime folder.
    const std::string runtime = work_ / "runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const test::ProgramResult window = test::runProgram(
        {"timeout", "60", installed("/usr/bin/torvane")},
        {"QT_QPA_PLATFORM=offscreen", "TORVANE_REPORT_FIRST_PAINT=1", "TORVANE_CONFIG_DIR=" + (work_ / "config"),
         "XDG_RUNTIME_DIR=" + runtime, "TMPDIR=" + runtime});
    EXPECT_EQ(window.exitCode, 0) << window.err;
    EXPECT_EQ(window.out.rfind("first-paint-ns ", 0), 0u) << window.out << window.err;

    // Both programs name the package's version.
    EXPECT_EQ(test::runProgram({installed("/usr/bin/torvane"), "--version"}).out, "torvane " TORVANE_VERSION "\n");
    EXPECT_EQ(test::runProgram({cli, "--version"}).out, "torvane-cli " TORVANE_VERSION "\n");

    // Started through its link in /usr/bin, the program lists the presets beside its real self.
    const test::ProgramResult presets = test::runProgram({cli, "--config-dir", work_ / "config", "presets"});
    ASSERT_EQ(presets.exitCode, 0) << presets.err;
    std::string preset;
    for (const std::string& line : lines(presets.out)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        const std::string path = line.substr(tab + 1);
        EXPECT_EQ(path.rfind(programFolder + "/preset/", 0), 0u) << path;
        if (path.ends_with("/+ 일반 파일변환/mp4_h264.ini")) preset = path;
    }
    ASSERT_FALSE(preset.empty()) << presets.out;

    const std::string clip = work_ / "clip.mp4";
    ASSERT_EQ(test::makeClip(clip, 2).exitCode, 0);
    const std::string out = work_ / "converted";
    const test::ProgramResult converted =
        test::runProgram({cli, "--config-dir", work_ / "config", "convert", "--preset", preset, "--out", out, clip});
    ASSERT_EQ(converted.exitCode, 0) << converted.out << converted.err;
    const test::ProgramResult probe =
        test::runProgram({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type:format=duration", "-of",
                          "csv=p=0", out + "/clip.mp4"});
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    const std::vector<std::string> facts = lines(probe.out);
    ASSERT_GE(facts.size(), 3u) << probe.out;
    const std::multiset<std::string> streams(facts.begin(), facts.end() - 1);
    EXPECT_EQ(streams.count("video"), 1u) << probe.out;
    EXPECT_EQ(streams.count("audio"), 1u) << probe.out;
    // The hint tracks come from the package's own mp4creator, run from that program folder.
    EXPECT_GE(streams.count("data"), 1u) << probe.out;
    EXPECT_NEAR(std::stod(facts.back()), 2.0, 0.2) << probe.out;
}

TEST_F(PackageTest, ItDescribesItselfToTheDesktopAndToApt) {
    const test::ProgramResult desktop =
        test::runProgram({"desktop-file-validate", installed("/usr/share/applications/torvane.desktop")});
    EXPECT_EQ(desktop.exitCode, 0) << desktop.out << desktop.err;
    EXPECT_EQ(desktop.out, "");

    const std::string metainfo = installed("/usr/share/metainfo/kr.torvane.Torvane.metainfo.xml");
    const test::ProgramResult appstream = test::runProgram({"appstreamcli", "validate", "--no-net", metainfo});
    EXPECT_EQ(appstream.exitCode, 0) << appstream.out << appstream.err;
    EXPECT_NE(test::readFile(metainfo).find("<release version=\"" TORVANE_VERSION "\""), std::string::npos);

    for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
        EXPECT_TRUE(fs::is_regular_file(installed("/usr/share/icons/hicolor/") + size + "/apps/torvane.png")) << size;
    }
    EXPECT_TRUE(fs::is_regular_file(installed("/usr/share/icons/hicolor/scalable/apps/torvane.svg")));
    for (const char* page : {"torvane", "torvane-cli"}) {
        const test::ProgramResult header =
            test::runProgram({"zgrep", "-m1", "^\\.TH", installed("/usr/share/man/man1/") + page + ".1.gz"});
        EXPECT_NE(header.out.find("\"Torvane " TORVANE_VERSION "\""), std::string::npos) << page << header.out;
    }

    // Its version and dependencies: the ones dpkg-shlibdeps read from the binaries, and the
    // programs and libraries it starts or loads by name, which no binary shows.
    const test::ProgramResult fields = test::runProgram({"dpkg-deb", "-f", kPackage, "Version", "Depends"});
    ASSERT_EQ(fields.exitCode, 0) << fields.err;
    EXPECT_NE(fields.out.find("Version: " TORVANE_VERSION "\n"), std::string::npos) << fields.out;
    std::set<std::string> depends;
    std::istringstream list(fields.out.substr(fields.out.find("Depends: ") + 9));
    for (std::string entry; std::getline(list, entry, ',');) {
        std::istringstream words(entry);
        std::string name;
        words >> name;
        depends.insert(name);
    }
    for (const char* name : {"ffmpeg", "mencoder", "mplayer", "libmediainfo0v5", "fonts-nanum", "qt6-translations-l10n",
                             "libqt6webenginecore6-bin", "libc6", "libqt6widgets6", "libfontconfig1", "libfreetype6"}) {
        EXPECT_TRUE(depends.contains(name)) << name << " is not in " << fields.out;
    }
    // flashgrab opens these with dlopen; their packages carry the major version (libavcodec59).
    for (const std::string library : {"libavcodec", "libavutil", "libswscale"}) {
        EXPECT_TRUE(std::ranges::any_of(depends,
                                        [&](const std::string& name) {
                                            return name.starts_with(library) && name.size() > library.size() &&
                                                   std::isdigit(static_cast<unsigned char>(name[library.size()])) != 0;
                                        }))
            << library << " is not in " << fields.out;
    }

    // Completion asks the installed program for its presets: paths under the package's folder,
    // matched against a word typed with backslashes before its blanks.
    const std::string completion = installed("/usr/share/bash-completion/completions/torvane-cli");
    const auto complete = [&](const std::string& words) {
        return test::runProgram(
            {"bash", "-c",
             "source \"$1\"; eval \"COMP_WORDS=($2)\"; COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _torvane_cli; "
             "printf '%s\\n' \"${COMPREPLY[@]}\"",
             "bash", completion, words},
            {"PATH=" + installed("/usr/bin") + ":" + std::getenv("PATH")});
    };
    EXPECT_EQ(complete("torvane-cli co").out, "command\nconvert\n");
    const std::string presetFolder = installed("/usr/lib/torvane/preset");
    const test::ProgramResult presets =
        complete("torvane-cli convert --preset '" + presetFolder + "/+\\ 일반\\ 파일변환/mp4_h'");
    EXPECT_NE(presets.out.find(presetFolder + "/+ 일반 파일변환/mp4_h264.ini\n"), std::string::npos)
        << presets.out << presets.err;
    for (const std::string& path : lines(presets.out)) EXPECT_EQ(path.rfind(presetFolder, 0), 0u) << path;

    // Debian's own checker finds no error in the package.
    const test::ProgramResult lint = test::runProgram({"lintian", "--fail-on", "error", kPackage});
    EXPECT_EQ(lint.exitCode, 0) << lint.out << lint.err;
}

}  // namespace
}  // namespace torvane
