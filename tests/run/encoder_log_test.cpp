#include "run/encoder_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/file_system.h"
#include "support/test_support.h"

namespace torvane {
namespace {

std::size_t logCount(const std::string& folder) {
    return listFolder(folder).files.size();
}

TEST(EncoderLog, KeepsWhatTheEncoderSaidUnderASafeNameInAPrivateFolder) {
    const test::TempFolder state;
    const std::string folder = state / "torvane/logs";
    std::string error;
    auto log = EncoderLog::open("/videos/내 영상: 1?.mp4", &error, folder);
    ASSERT_TRUE(log) << error;
    struct stat facts {};
    ASSERT_EQ(::stat(folder.c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0700u);
    EXPECT_EQ(std::string(parentFolder(log->path())), folder);
    const std::string name(fileNamePart(log->path()));
    EXPECT_TRUE(name.ends_with("-" + std::to_string(::getpid()) + "-0000-내_영상__1_.mp4.log")) << name;

    log->appendLine("\"/usr/bin/ffmpeg\" -y -i \"/videos/내 영상: 1?.mp4\" out.mp4");
    log->append("frame=  1 fps=0.0\r");
    log->append("frame= 25 fps=0.0\rConversion ");
    // What is flushed can be read while the item runs.
    log->flush();
    EXPECT_EQ(test::readFile(log->path()),
              "\"/usr/bin/ffmpeg\" -y -i \"/videos/내 영상: 1?.mp4\" out.mp4\nframe=  1 fps=0.0\rframe= 25 fps=0.0\r"
              "Conversion ");
    log->append("failed!\n");
    const std::string path = log->path();
    log.reset();
    EXPECT_TRUE(test::readFile(path).ends_with("\rConversion failed!\n"));
}

TEST(EncoderLog, OpeningKeepsOnlyTheNewestLogs) {
    const test::TempFolder folder;
    // Not ours: left alone whatever their number.
    test::writeFile(folder / "notes.txt", "mine");
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < EncoderLog::kKeptLogs + 5; ++i) {
        std::string error;
        auto log = EncoderLog::open("clip.mp4", &error, folder.path());
        ASSERT_TRUE(log) << error;
        log->appendLine(std::to_string(i));
        paths.push_back(log->path());
    }
    EXPECT_EQ(logCount(folder.path()), EncoderLog::kKeptLogs + 1);
    EXPECT_TRUE(pathExists(folder / "notes.txt"));
    for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(pathExists(paths[i]), i >= 5) << i << " " << paths[i];
    EXPECT_EQ(test::readFile(paths.back()), std::to_string(EncoderLog::kKeptLogs + 4) + "\n");
}

TEST(EncoderLog, AnEndlessOutputKeepsItsBeginningAndEndWithinTheBound) {
    const test::TempFolder folder;
    std::string error;
    auto log = EncoderLog::open("long.mkv", &error, folder.path());
    ASSERT_TRUE(log) << error;
    log->appendLine("command line");
    const std::string progress(997, 'p');
    std::size_t written = 0;
    while (written < 3 * EncoderLog::kMaxBytes) {
        log->append(progress);
        written += progress.size();
    }
    log->append("\nthe last line\n");
    const std::string path = log->path();
    log.reset();
    const std::string content = test::readFile(path);
    EXPECT_LE(content.size(), EncoderLog::kMaxBytes);
    EXPECT_GE(content.size(), EncoderLog::kMaxBytes - 1024);
    EXPECT_TRUE(content.starts_with("command line\nppp"));
    EXPECT_TRUE(content.ends_with("ppp\nthe last line\n"));
    EXPECT_NE(content.find("바이트를 뺐습니다) …\n"), std::string::npos);

    // Output a little past the beginning's share is kept whole, without a note.
    auto shortLog = EncoderLog::open("short.mkv", &error, folder.path());
    ASSERT_TRUE(shortLog) << error;
    const std::string shortPath = shortLog->path();
    const std::string text(EncoderLog::kMaxBytes - EncoderLog::kTailBytes, 's');
    shortLog->append(text);
    shortLog.reset();
    EXPECT_EQ(test::readFile(shortPath), text);
}

TEST(EncoderLog, AFolderThatCannotBeMadeGivesNoLog) {
    const test::TempFolder folder;
    test::writeFile(folder / "file", "not a folder");
    for (const std::string& place : {folder / "file/logs", std::string("/proc/torvane-logs"), std::string()}) {
        std::string error;
        EXPECT_EQ(EncoderLog::open("clip.mp4", &error, place), nullptr) << place;
        EXPECT_FALSE(error.empty()) << place;
    }
}

}  // namespace
}  // namespace torvane
