#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/option_file.h"
#include "support/test_support.h"

namespace torvane {
namespace {

TEST(OptionFile, StoresValuesAsOneNameEqualsValueLineEach) {
    test::TempFolder folder;
    const OptionFile store(folder / "config/torvane");  // missing folders are created
    EXPECT_EQ(store.read("lastoutdir"), std::nullopt);
    ASSERT_TRUE(store.write("lastoutdir", "/home/user/동영상"));
    ASSERT_TRUE(store.write("logouse", "y"));
    ASSERT_TRUE(store.write("LogoUse", "n"));  // same name, other case: replaced, not added
    EXPECT_EQ(store.read("LASTOUTDIR"), "/home/user/동영상");
    EXPECT_EQ(store.read("logouse"), "n");
    EXPECT_EQ(test::readFile(store.filePath()), "[torvane]\nlastoutdir=/home/user/동영상\nlogouse=n\n");
    // Only the store and its lock file are left: no temporary file survives a write.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(store.folder())) ++entries;
    EXPECT_EQ(entries, 2u);
}

TEST(OptionFile, ValuesWithLineBreaksAndBackslashesSurviveARoundTrip) {
    test::TempFolder folder;
    const OptionFile store(folder.path());
    const std::string odd = "C:\\old\\path\nsecond line\r\\n literal";
    ASSERT_TRUE(store.write("lastopenfolder", odd));
    ASSERT_TRUE(store.write("after", "ok"));
    EXPECT_EQ(store.read("lastopenfolder"), odd);
    EXPECT_EQ(store.read("after"), "ok");
    EXPECT_FALSE(store.write("bad=name", "x"));
    EXPECT_FALSE(store.write("bad\nname", "x"));
}

TEST(OptionFile, ReadsStoresWrittenByHandAndKeepsWhatItDoesNotUnderstand) {
    test::TempFolder folder;
    test::writeFile(folder / "options.ini",
                    "[other]\nlogouse=other\r\n[Torvane]\r\nlogouse=y\r\nbroken line\r\n=novalue\r\n");
    const OptionFile store(folder.path());
    EXPECT_EQ(store.read("logouse"), "y");
    ASSERT_TRUE(store.write("logox", "7"));
    EXPECT_EQ(store.read("logouse"), "y");
    EXPECT_EQ(store.read("logox"), "7");
    // Nothing the store does not understand is dropped by a write.
    EXPECT_EQ(test::readFile(store.filePath()),
              "[other]\nlogouse=other\n[Torvane]\nlogouse=y\nbroken line\n=novalue\nlogox=7\n");
}

TEST(OptionFile, TwoProcessesWritingAtOnceLoseNothing) {
    test::TempFolder folder;
    const OptionFile store(folder.path());
    constexpr int kWriters = 2;
    constexpr int kValuesEach = 60;
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kValuesEach; ++i) {
                ok = store.write("w" + std::to_string(writer) + "_" + std::to_string(i), std::to_string(i)) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int i = 0; i < kValuesEach; ++i) {
            EXPECT_EQ(store.read("w" + std::to_string(writer) + "_" + std::to_string(i)), std::to_string(i));
        }
    }
}

TEST(OptionFile, AnUnwritableFolderReadsNothingAndRefusesWrites) {
    test::TempFolder folder;
    test::writeFile(folder / "plainfile", "not a folder");
    // A folder below a regular file can be neither made nor written, even by root.
    const OptionFile belowFile(folder / "plainfile/torvane");
    EXPECT_EQ(belowFile.read("logouse"), std::nullopt);
    EXPECT_FALSE(belowFile.write("logouse", "y"));

    // A store the owner cannot read must not be replaced by one holding only the new value.
    if (::geteuid() != 0) {
        const OptionFile store(folder / "cfg");
        ASSERT_TRUE(store.write("logouse", "y"));
        std::filesystem::permissions(store.filePath(), std::filesystem::perms::none);
        EXPECT_EQ(store.read("logouse"), std::nullopt);
        EXPECT_FALSE(store.write("logox", "1"));
        std::filesystem::permissions(store.filePath(), std::filesystem::perms::owner_read);
        EXPECT_EQ(store.read("logouse"), "y");
    }
}

}  // namespace
}  // namespace torvane
