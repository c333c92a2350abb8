#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "media/mediainfo_library.h"
#include "run/add_source_file.h"
#include "run/run_observer.h"
#include "run/source_list.h"
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

TEST_F(AddSourceFileTest, RefusesFilesWithoutStreamsExceptFlashAndSmaf) {
    EXPECT_FALSE(add(test::testMedia("not_media.txt")));
    ASSERT_EQ(observer_.messages.size(), 1u);
    EXPECT_EQ(observer_.messages[0].caption, "안내");
    EXPECT_EQ(observer_.messages[0].text, "멀티미디어 파일이 아닙니다.");
    EXPECT_EQ(observer_.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(list_.rowCount(), 0u);

    // The library sees no streams in these; their own pipelines handle them.
    EXPECT_TRUE(add(copyAs("not_media.txt", "movie.SWF")));
    EXPECT_TRUE(add(copyAs("not_media.txt", "ring.mmf")));
    EXPECT_EQ(observer_.messages.size(), 1u);
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

TEST_F(AddSourceFileTest, TruncatedAndCorruptFilesGiveARowOrAMessageNeverACrash) {
    const std::string truncated = copyAs("truncated.mp4", "truncated.mp4");
    const bool added = add(truncated);
    EXPECT_EQ(added, observer_.messages.empty());
    const std::string bad = test::corpusDir() + "/media/bad";
    if (!std::filesystem::exists(bad)) return;
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
