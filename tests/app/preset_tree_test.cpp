#include "app/preset_tree.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "support/test_support.h"

namespace torvane::app {
namespace {

std::string profile(const std::string& subject) {
    return "[GENERAL]\ninfo_subject=" + subject + "\n";
}

class PresetTreeTest : public ::testing::Test {
protected:
    PresetTreeTest() {
        test::writeFile(folder_ / "+ 일반 파일변환/avi.ini", profile("AVI"));
        test::writeFile(folder_ / "+ 일반 파일변환/mp4.ini", profile("MP4"));
        test::writeFile(folder_ / "특별기능/mp3.ini", profile("소리추출"));
        test::writeFile(folder_ / "기기설정/스마트폰/phone.ini", profile("폰"));
        test::writeFile(folder_ / "기기설정/tv.ini", profile("TV"));
        test::writeFile(folder_ / "기기설정/tv2.ini", profile("TV"));
        test::writeFile(folder_ / "loose.txt", "not a profile at all");
        tree_.populatePresetTree(folder_.path());
    }
    QTreeWidgetItem* top(const char* name) {
        for (int i = 0; i < tree_.topLevelItemCount(); ++i) {
            if (tree_.topLevelItem(i)->text(0) == QString::fromUtf8(name)) return tree_.topLevelItem(i);
        }
        return nullptr;
    }

    test::TempFolder folder_;
    PresetTree tree_;
};

TEST_F(PresetTreeTest, StartsWithTheUsualGroupsOpenAndTheFirstItemSelected) {
    ASSERT_EQ(tree_.topLevelItemCount(), 4);
    // Groups in byte order, then the presets lying in the folder itself ("기본" for a non-profile).
    EXPECT_EQ(tree_.topLevelItem(0)->text(0), QStringLiteral("+ 일반 파일변환"));
    EXPECT_EQ(tree_.topLevelItem(3)->text(0), QStringLiteral("기본"));
    EXPECT_TRUE(top("+ 일반 파일변환")->isExpanded());
    EXPECT_TRUE(top("기기설정")->isExpanded());
    EXPECT_FALSE(top("특별기능")->isExpanded());
    EXPECT_EQ(top("특별기능")->childCount(), 0);
    EXPECT_EQ(tree_.currentItem(), tree_.topLevelItem(0));

    // Subfolders come before presets inside a group too.
    QTreeWidgetItem* devices = top("기기설정");
    ASSERT_EQ(devices->childCount(), 3);
    EXPECT_EQ(PresetTree::kindOf(devices->child(0)), PresetTree::ItemKind::Group);
    EXPECT_EQ(devices->child(0)->text(0), QStringLiteral("스마트폰"));
}

TEST_F(PresetTreeTest, AGroupIsFilledOnceAndEveryItemKeepsItsOwnNumberAndPath) {
    QTreeWidgetItem* special = top("특별기능");
    special->setExpanded(true);
    special->setExpanded(false);
    special->setExpanded(true);
    ASSERT_EQ(special->childCount(), 1);
    EXPECT_EQ(special->child(0)->text(0), QStringLiteral("소리추출"));
    EXPECT_EQ(tree_.pathOf(special->child(0)), folder_ / "특별기능/mp3.ini");

    // Two presets with one name are two items, each with its own file.
    QTreeWidgetItem* devices = top("기기설정");
    EXPECT_EQ(devices->child(1)->text(0), devices->child(2)->text(0));
    EXPECT_NE(tree_.pathOf(devices->child(1)), tree_.pathOf(devices->child(2)));
    EXPECT_NE(PresetTree::numberOf(devices->child(1)), PresetTree::numberOf(devices->child(2)));
    EXPECT_GT(PresetTree::numberOf(special->child(0)), PresetTree::numberOf(devices->child(2)));
}

TEST_F(PresetTreeTest, OnlyPresetItemsAreReportedAsChosen) {
    QSignalSpy chosen(&tree_, &PresetTree::presetSelected);
    tree_.setCurrentItem(top("특별기능"));
    EXPECT_EQ(chosen.count(), 0);
    tree_.setCurrentItem(top("+ 일반 파일변환")->child(1));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString().toStdString(), folder_ / "+ 일반 파일변환/mp4.ini");
}

TEST(PresetTreeFolders, AMissingFolderGivesAnEmptyTree) {
    PresetTree tree;
    tree.populatePresetTree("/nonexistent/preset");
    EXPECT_EQ(tree.topLevelItemCount(), 0);
}

}  // namespace
}  // namespace torvane::app
