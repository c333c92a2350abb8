#include <gtest/gtest.h>

#include "settings/option_store.h"
#include "support/test_support.h"

namespace torvane {
namespace {

TEST(OptionStore, AFreshStoreGivesEveryDefault) {
    test::TempFolder folder;
    const OptionStore store(folder / "never-written");
    const auto flag = [&](std::string_view name) {
        return store.getOption(name, findOption(name)->defaultValue) == "y";
    };
    for (const char* off :
         {"closetotray", "settingbeforestart", "confirmbeforestop", "swfmp3extractfirst", "logouse"}) {
        EXPECT_FALSE(flag(off)) << off;
    }
    for (const char* on : {"finishalert", "viewsettingonpreset", "swfmethodframe"}) EXPECT_TRUE(flag(on)) << on;
    EXPECT_EQ(store.getOptionInt("logocorner", "4"), 4);
    EXPECT_EQ(store.getOptionInt("logox", "5"), 5);
    EXPECT_EQ(store.getOptionInt("logoy", "5"), 5);
    EXPECT_EQ(defaultOptionValue(*findOption("lastpreset"), "/opt/torvane"), "/opt/torvane/common_avi.ini");
    EXPECT_EQ(findOption("nosuchoption"), nullptr);
    EXPECT_EQ(store.getOptionInt("stalltimeout", "120"), 120);
    EXPECT_EQ(knownOptions().size(), 29u);
}

TEST(OptionStore, StoredValuesWinUnlessEmptyOrTooLong) {
    test::TempFolder folder;
    const OptionStore store(folder.path());
    ASSERT_TRUE(store.setOption("lastoutdir", "/home/user/영상"));
    EXPECT_EQ(store.getOption("lastoutdir", ""), "/home/user/영상");
    // An empty stored value reads as the default, so it never clears a folder.
    ASSERT_TRUE(store.setOption("lastoutdir", ""));
    EXPECT_EQ(store.getOption("lastoutdir", "/fallback"), "/fallback");
    ASSERT_TRUE(store.setOption("logopath", std::string(511, 'a')));
    EXPECT_EQ(store.getOption("logopath", "d").size(), 511u);
    ASSERT_TRUE(store.setOption("logopath", std::string(512, 'a')));
    EXPECT_EQ(store.getOption("logopath", "d"), "d");
}

TEST(OptionStore, NumbersAreTheLeadingDigits) {
    test::TempFolder folder;
    const OptionStore store(folder.path());
    ASSERT_TRUE(store.setOption("logox", "12px"));
    ASSERT_TRUE(store.setOption("logoy", "abc"));
    ASSERT_TRUE(store.setOption("updatecheckdontview", "-30"));
    EXPECT_EQ(store.getOptionInt("logox", "5"), 12);
    EXPECT_EQ(store.getOptionInt("logoy", "5"), 0);
    EXPECT_EQ(store.getOptionInt("updatecheckdontview", "0"), -30);
}

TEST(OptionStore, LastOpenFolderAccessors) {
    test::TempFolder folder;
    const OptionStore store(folder.path());
    EXPECT_EQ(store.lastOpenFolder(), "");
    ASSERT_TRUE(store.setLastOpenFolder("/media/clips"));
    EXPECT_EQ(store.lastOpenFolder(), "/media/clips");
    EXPECT_EQ(store.getOption("LastOpenFolder", ""), "/media/clips");
}

TEST(OptionStore, AnUnwritableStoreRunsOnDefaults) {
    test::TempFolder folder;
    test::writeFile(folder / "file", "x");
    const OptionStore store(folder / "file/torvane");
    EXPECT_FALSE(store.setOption("logouse", "y"));
    EXPECT_EQ(store.getOption("logouse", "n"), "n");
    EXPECT_FALSE(store.setLastOpenFolder("/tmp"));
}

}  // namespace
}  // namespace torvane
