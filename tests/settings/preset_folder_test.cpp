#include <gtest/gtest.h>

#include "settings/preset_folder.h"
#include "support/test_support.h"

namespace torvane {
namespace {

TEST(PresetFolder, GroupsFirstThenPresetsEachInNameOrder) {
    test::TempFolder folder;
    test::writeFile(folder / "기기설정/phone.ini", "[GENERAL]\ninfo_subject=휴대폰\n");
    test::writeFile(folder / "+ 일반 파일변환/b.ini", "[GENERAL]\ninfo_subject=B\n");
    test::writeFile(folder / "특별기능/x.ini", "");
    test::writeFile(folder / "z_top.ini", "[GENERAL]\ninfo_subject=맨 위\n");
    test::writeFile(folder / "a_notes.txt", "not a profile at all");

    const PresetFolderLevel top = readPresetFolder(folder.path());
    ASSERT_EQ(top.groups.size(), 3u);
    EXPECT_EQ(top.groups[0].name, "+ 일반 파일변환");
    EXPECT_EQ(top.groups[1].name, "기기설정");
    EXPECT_EQ(top.groups[2].name, "특별기능");
    EXPECT_EQ(top.groups[1].path, folder / "기기설정");
    ASSERT_EQ(top.presets.size(), 2u);
    // Any file is a preset; one that is no profile is listed under the default name.
    EXPECT_EQ(top.presets[0].displayName, "기본");
    EXPECT_EQ(top.presets[0].path, folder / "a_notes.txt");
    EXPECT_EQ(top.presets[1].displayName, "맨 위");

    const PresetFolderLevel phones = readPresetFolder(top.groups[1].path);
    ASSERT_EQ(phones.presets.size(), 1u);
    EXPECT_EQ(phones.presets[0].displayName, "휴대폰");

    EXPECT_TRUE(isGroupExpandedAtStart("+ 일반 파일변환"));
    EXPECT_TRUE(isGroupExpandedAtStart("기기설정"));
    EXPECT_FALSE(isGroupExpandedAtStart("특별기능"));
    EXPECT_FALSE(isGroupExpandedAtStart("기기설정 "));
}

TEST(PresetFolder, AMissingFolderIsAnEmptyLevel) {
    const PresetFolderLevel level = readPresetFolder("/nonexistent/torvane/preset");
    EXPECT_TRUE(level.groups.empty());
    EXPECT_TRUE(level.presets.empty());
}

}  // namespace
}  // namespace torvane
