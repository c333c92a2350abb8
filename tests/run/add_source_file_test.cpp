#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "command/command_context.h"
#include "command/command_line_split.h"
#include "command/ffmpeg_command.h"
#include "media/mediainfo_library.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"
#include "run/add_source_file.h"
#include "run/run_observer.h"
#include "run/source_list.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "support/test_support.h"

namespace torvane {
namespace {

struct RecordingObserver : RunObserver {
    struct Message {
        std::string caption;
        std::string text;
        MessageIcon icon;
    };
    void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override {
        messages.push_back({std::string(caption), std::string(text), icon});
    }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    std::vector<Message> messages;
};

class AddSourceFileTest : public ::testing::Test {
protected:
    bool add(const std::string& path) {
        return addSourceFile(list_, path, MediaInfoLibrary::instance(), observer_, &options_);
    }
    // A copy of a generated file under another name, in the test's own folder.
    std::string copyAs(const std::string& media, const std::string& name) {
        const std::string path = folder_ / name;
        std::filesystem::copy_file(test::testMedia(media), path);
        return path;
    }
    test::TempFolder folder_;
    OptionStore options_{folder_ / "config"};
    SourceList list_;
    RecordingObserver observer_;
};

TEST_F(AddSourceFileTest, AddsMediaAsTheOnlySelectedRowAndRemembersTheFolder) {
    ASSERT_TRUE(add(copyAs("av.mp4", "first.mp4")));
    ASSERT_TRUE(add(copyAs("audio_only.mp3", "second.mp3")));
    EXPECT_EQ(list_.rowCount(), 2u);
    EXPECT_FALSE(list_.isSelected(0));
    EXPECT_TRUE(list_.isSelected(1));
    EXPECT_EQ(list_.cells(1)[1], "second.mp3");
    EXPECT_EQ(list_.cells(0)[3], "320 x 240");
    EXPECT_EQ(options_.lastOpenFolder(), folder_.path());
    EXPECT_TRUE(observer_.messages.empty());
}

TEST_F(AddSourceFileTest, SkipsWhatCannotBeReadWithoutAMessage) {
    std::filesystem::create_directories(folder_ / "a folder.mp4");
    for (const std::string& path : {folder_ / "missing.mp4", folder_ / "a folder.mp4", test::testMedia("empty.mp4")}) {
        EXPECT_FALSE(add(path)) << path;
    }
    if (::geteuid() != 0) {
        const std::string locked = copyAs("av.mp4", "locked.mp4");
        std::filesystem::permissions(locked, std::filesystem::perms::none);
        EXPECT_FALSE(add(locked));
    }
    EXPECT_EQ(list_.rowCount(), 0u);
    EXPECT_TRUE(observer_.messages.empty());
    EXPECT_EQ(options_.lastOpenFolder(), "");
}

TEST_F(AddSourceFileTest, RefusesFilesWithoutReadableStreamsExceptFlashAndSmaf) {
    EXPECT_FALSE(add(test::testMedia("not_media.txt")));
    ASSERT_EQ(observer_.messages.size(), 1u);
    EXPECT_EQ(observer_.messages[0].caption, "안내");
    EXPECT_EQ(observer_.messages[0].text, "멀티미디어 파일이 아닙니다.");
    EXPECT_EQ(observer_.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(list_.rowCount(), 0u);

    // Headers whose one sound stream the library cannot read: no channels, no rate, no length.
    const std::string wave = folder_ / "damaged.wav";
    test::writeFile(wave, std::string("RIFF\x90\x39\0\0WAVEfmt \x02\0\0\0\xff\xff"
                                      "data\0\0\0\0",
                                      30));
    const std::string aiff = folder_ / "damaged.aif";
    test::writeFile(aiff, std::string("FORM\x01\x63\xc8\x2e"
                                      "AIFFCOMM\0\0\0\0\0SSND\x01\x63\xc8\x08\0\0",
                                      31));
    EXPECT_FALSE(add(wave));
    EXPECT_FALSE(add(aiff));
    EXPECT_EQ(observer_.messages.size(), 3u);
    // A sound the library can read stays media.
    EXPECT_TRUE(add(test::testMedia("mono.wav")));

    // The library sees no streams in these; their own pipelines handle them.
    EXPECT_TRUE(add(copyAs("not_media.txt", "movie.SWF")));
    EXPECT_TRUE(add(copyAs("not_media.txt", "ring.mmf")));
    EXPECT_EQ(observer_.messages.size(), 3u);
}

// Refusing what the library cannot read must never refuse real media: every file of the corpus
// in which the library finds a picture or sound stream (all of which ffprobe reads) is accepted.
TEST_F(AddSourceFileTest, EveryCorpusVideoAndSoundFileIsMedia) {
    TORVANE_NEEDS_CORPUS();
    const std::string media = test::corpusDir() + "/media/";
    std::ifstream manifest(media + "MANIFEST.tsv");
    ASSERT_TRUE(manifest) << media;
    int checked = 0;
    for (std::string line; std::getline(manifest, line);) {
        if (!line.starts_with("video/") && !line.starts_with("audio/")) continue;
        // The manifest's MediaInfo column: "...; V:AVC@High 320x180 ...; A:AAC ..." (a still
        // picture has neither and is refused as ever).
        if (line.find("; V:") == std::string::npos && line.find("; A:") == std::string::npos) continue;
        const std::string file = line.substr(0, line.find('\t'));
        EXPECT_EQ(probeSourceFile(media + file, MediaInfoLibrary::instance()).verdict, ProbedSource::Verdict::Media)
            << file;
        ++checked;
    }
    EXPECT_GT(checked, 200);
}

TEST_F(AddSourceFileTest, OddNamesAreAddedAndSourcesAreNeverTouched) {
    const std::vector<std::string> names = {"with blanks.mp4", "quote \"a\" -f mp4 \"x.mp4", "한글 동영상.mp4",
                                            "-leading-dash.mp4", "line\nfeed.mp4"};
    for (const std::string& name : names) {
        const std::string path = copyAs("av.mp4", name);
        const auto before = std::filesystem::last_write_time(path);
        ASSERT_TRUE(add(path)) << name;
        EXPECT_EQ(list_.cells(list_.rowCount() - 1)[1], name);
        EXPECT_EQ(list_.item(list_.rowCount() - 1)->media.videoWidth, "320") << name;
        EXPECT_EQ(std::filesystem::last_write_time(path), before);
        EXPECT_EQ(test::readFile(path), test::readFile(test::testMedia("av.mp4")));
    }
}

TEST_F(AddSourceFileTest, ANameThatIsNotUtf8IsProbedListedAndConverted) {
    // "한글.mp4" written in CP949, as files copied from old Windows disks are named.
    const std::string name = "\xc7\xd1\xb1\xdb.mp4";
    const std::string path = copyAs("av.mp4", name);
    ASSERT_TRUE(add(path));
    EXPECT_TRUE(observer_.messages.empty()) << observer_.messages[0].text;
    SourceItem& item = *list_.item(0);
    EXPECT_EQ(item.sourcePath, path);
    EXPECT_EQ(item.media.videoWidth, "320");
    EXPECT_EQ(item.media.audioStreamCount, 1);
    // What is shown is UTF-8, the CP949 name read as such.
    EXPECT_EQ(list_.cells(0)[1], "한글.mp4");
    EXPECT_EQ(item.fileLine.substr(0, item.fileLine.find('\r')), "한글.mp4");
    for (const std::string* text : {&item.media.completeName, &item.media.informComplete, &item.fileLine}) {
        EXPECT_TRUE(isValidUtf8(*text)) << *text;
    }
    EXPECT_NE(item.media.informNormal.find(folder_.path() + "/한글.mp4"), std::string::npos);
    // The reports are those of the file itself, not of what the library was given to open.
    EXPECT_EQ(item.media.informComplete.find("/probe."), std::string::npos);
    EXPECT_EQ(item.media.informComplete.find("FileExtension_Invalid"), std::string::npos);

    // The encoder gets the name's own bytes, and the output is named after them.
    FormatCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadCatalogue(test::sourceDir() + "/data/torvane.ini"));
    EncodeSettings settings;
    ASSERT_TRUE(settings.loadProfile(test::sourceDir() + "/data/preset/+ 일반 파일변환/mp4_h264.ini"));
    CommandContext context = programCommandContext(test::buildDir(), catalogue, options_);
    context.output.folder = folder_ / "out";
    context.fullRun = false;
    context.testEncodeSeconds = 1;
    std::filesystem::create_directories(context.output.folder);
    const std::vector<std::string> argv = splitCommandLine(buildFfmpegCommand(settings, item, 0, context));
    const auto input = std::find(argv.begin(), argv.end(), "-i");
    ASSERT_NE(input, argv.end());
    EXPECT_EQ(input[1], path);
    const test::ProgramResult encoded = test::runProgram(argv);
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    const std::string written = argv.back();
    EXPECT_EQ(std::string(fileNamePart(written)).substr(0, 4), name.substr(0, 4));
    EXPECT_NE(
        test::runProgram({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", written})
            .out.find("video"),
        std::string::npos);
}

TEST_F(AddSourceFileTest, ANameThatIsNotUtf8IsProbedWithoutAPrivateFolderToo) {
    // A runtime folder whose "torvane" is not a folder of ours: the file's descriptor stands in.
    test::writeFile(folder_ / "runtime/torvane", "not a folder");
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved != nullptr ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", (folder_ / "runtime").c_str(), 1);
    const bool added = add(copyAs("av.mp4", "\xc7\xd1\xb1\xdb.mp4"));
    if (saved != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    ASSERT_TRUE(added);
    EXPECT_EQ(list_.item(0)->media.videoWidth, "320");
    EXPECT_EQ(list_.item(0)->media.completeName, folder_.path() + "/한글.mp4");
}

TEST_F(AddSourceFileTest, TruncatedAndCorruptFilesGiveARowOrAMessageNeverACrash) {
    const std::string truncated = copyAs("truncated.mp4", "truncated.mp4");
    const bool added = add(truncated);
    EXPECT_EQ(added, observer_.messages.empty());
    TORVANE_NEEDS_CORPUS();
    const std::string bad = test::corpusDir() + "/media/bad";
    for (const auto& entry : std::filesystem::directory_iterator(bad)) {
        const std::size_t rows = list_.rowCount();
        const std::size_t messages = observer_.messages.size();
        const bool ok = add(entry.path().string());
        EXPECT_EQ(list_.rowCount(), rows + (ok ? 1 : 0)) << entry.path();
        EXPECT_LE(observer_.messages.size(), messages + 1) << entry.path();
    }
}

}  // namespace
}  // namespace torvane
