#include <gtest/gtest.h>

#include "run/run_observer.h"
#include "run/source_list.h"
#include "run/source_list_commands.h"

namespace torvane {
namespace {

SourceItem makeItem(const std::string& name, std::uint64_t bytes, std::int32_t seconds) {
    SourceItem item;
    item.sourcePath = "/media/" + name;
    item.fileSize = bytes;
    item.media.durationSeconds = seconds;
    return item;
}

// The input-file cell of every row, in row order.
std::vector<std::string> names(const SourceList& list) {
    std::vector<std::string> result;
    for (std::size_t row = 0; row < list.rowCount(); ++row) result.push_back(list.cells(row)[1]);
    return result;
}

SourceList listOf(int count) {
    SourceList list;
    for (int i = 0; i < count; ++i) list.appendItem(makeItem(std::to_string(i), 100, 10));
    return list;
}

void select(SourceList& list, std::initializer_list<std::size_t> rows) {
    for (std::size_t row = 0; row < list.rowCount(); ++row) list.setSelected(row, false);
    for (const std::size_t row : rows) list.setSelected(row, true);
}

using Names = std::vector<std::string>;

TEST(SourceList, RowsStoreAndTotalsAgree) {
    SourceList list;
    list.appendItem(makeItem("a.avi", 1000, 60));
    list.appendItem(makeItem("a.avi", 24, 5));  // the same path twice: two rows, two items
    EXPECT_EQ(list.rowCount(), 2u);
    EXPECT_EQ(list.itemCount(), 2u);
    EXPECT_NE(list.keyOfRow(0), list.keyOfRow(1));
    EXPECT_EQ(list.totalBytes(), 1024u);
    EXPECT_EQ(list.totalDurationSeconds(), 65);
    EXPECT_EQ(list.item(1)->fileSize, 24u);
    EXPECT_EQ(list.item(2), nullptr);
    EXPECT_EQ(list.keyOfRow(2), "");

    // An id already in the store is replaced, never shared between rows.
    SourceItem twin = makeItem("b.avi", 1, 1);
    twin.itemId = list.keyOfRow(0);
    list.appendItem(twin);
    EXPECT_EQ(list.itemCount(), 3u);
    EXPECT_EQ(list.item(0)->sourcePath, "/media/a.avi");

    list.removeAll();
    EXPECT_EQ(list.rowCount(), 0u);
    EXPECT_EQ(list.totalBytes(), 0u);
    EXPECT_EQ(list.totalDurationSeconds(), 0);
}

TEST(SourceList, RemovingSelectedRowsKeepsTheRestAndSelectsTheRowInTheirPlace) {
    SourceList list = listOf(6);
    select(list, {1, 3});
    EXPECT_EQ(list.removeSelected(), 1);
    EXPECT_EQ(names(list), (Names{"0", "2", "4", "5"}));
    EXPECT_TRUE(list.isSelected(1));
    EXPECT_FALSE(list.isSelected(0));

    // Rows removed from the end leave the new last row selected.
    select(list, {2, 3});
    EXPECT_EQ(list.removeSelected(), 1);
    EXPECT_EQ(names(list), (Names{"0", "2"}));
    EXPECT_EQ(list.itemCount(), 2u);
    EXPECT_EQ(list.totalBytes(), 200u);
    EXPECT_TRUE(list.isSelected(1));
    EXPECT_FALSE(list.isSelected(0));

    select(list, {0, 1});
    EXPECT_EQ(list.removeSelected(), -1);
    EXPECT_EQ(list.rowCount(), 0u);
    EXPECT_EQ(list.itemCount(), 0u);
}

TEST(SourceList, SelectedRowsMoveAsABlockAndStopAtTheEnds) {
    SourceList list = listOf(5);
    select(list, {1, 2});
    list.moveSelectedUp();
    EXPECT_EQ(names(list), (Names{"1", "2", "0", "3", "4"}));
    EXPECT_TRUE(list.isSelected(0) && list.isSelected(1) && !list.isSelected(2));
    list.moveSelectedUp();  // already at the top: nothing changes, the order is kept
    EXPECT_EQ(names(list), (Names{"1", "2", "0", "3", "4"}));

    select(list, {0, 3});
    list.moveSelectedDown();
    EXPECT_EQ(names(list), (Names{"2", "1", "0", "4", "3"}));
    list.moveSelectedDown();  // the one at the bottom stays, the other goes on
    EXPECT_EQ(names(list), (Names{"2", "0", "1", "4", "3"}));
    EXPECT_TRUE(list.isSelected(2) && list.isSelected(4));

    // The totals and the store do not change under moves, and cells follow their rows.
    list.setProgressText(4, "100%");
    select(list, {4});
    list.moveSelectedUp();
    EXPECT_EQ(list.cells(3)[7], "100%");
    EXPECT_EQ(list.itemCount(), 5u);
    EXPECT_EQ(list.totalBytes(), 500u);
}

TEST(SourceList, CellsShowTheItemAsTheListDoes) {
    SourceList list;
    SourceItem item = makeItem("클립 1.mp4", 5242880, 3725);
    item.media.videoWidth = "1280";
    item.media.videoHeight = "720";
    item.media.videoCodec = "AVC";
    item.media.videoCodecIdHint = "";
    item.media.audioCodecInfo = "Advanced Audio Codec";
    item.subtitlePath = "/media/클립 1.smi";
    list.appendItem(item);
    list.appendItem(makeItem("empty", 0, 0));
    const auto cells = list.cells(0);
    EXPECT_EQ(cells[0], "");
    EXPECT_EQ(cells[1], "클립 1.mp4");
    EXPECT_EQ(cells[2], "01:02:05");
    EXPECT_EQ(cells[3], "1280 x 720");
    EXPECT_EQ(cells[4], "AVC");
    EXPECT_EQ(cells[5], "Advanced Audio Codec");
    EXPECT_EQ(cells[6], "O");
    EXPECT_EQ(cells[7], "");
    EXPECT_EQ(cells[8], "5 MB");
    EXPECT_EQ(cells[9], "");
    const auto bare = list.cells(1);
    EXPECT_EQ(bare[2], "0 초");
    EXPECT_EQ(bare[3], "");
    EXPECT_EQ(bare[6], "X");
    EXPECT_EQ(bare[4], "");

    // Where the library gives no codec name, the stream's format stands in.
    SourceItem modern = makeItem("new.mkv", 10, 1);
    modern.media.videoFormat = "AVC";
    modern.media.audioFormat = "Opus";
    list.appendItem(modern);
    EXPECT_EQ(list.cells(2)[4], "AVC");
    EXPECT_EQ(list.cells(2)[5], "Opus");
    EXPECT_EQ(bare[8], "0 Bytes");

    // A range shows in the time column, a dropped sound in the audio column.
    SourceItem& ranged = *list.item(0);
    ranged.rangeStartSeconds = 62.5;
    ranged.rangeEndSeconds = 70;
    ranged.keepSound = false;
    EXPECT_EQ(list.cells(0)[2], "00:01:02.500~00:01:10");
    EXPECT_EQ(list.cells(0)[5], "소리 없음");
    ranged.rangeEndSeconds = 0;
    EXPECT_EQ(list.cells(0)[2], "00:01:02.500~01:02:05");
}

// Answers questions with a fixed reply and records what it was shown.
struct ScriptedObserver : RunObserver {
    explicit ScriptedObserver(bool answer) : reply(answer) {}
    void showMessage(std::string_view caption, std::string_view text, MessageIcon) override {
        shown.push_back(std::string(caption) + "|" + std::string(text));
    }
    bool askYesNo(std::string_view caption, std::string_view text) override {
        shown.push_back(std::string(caption) + "|" + std::string(text));
        return reply;
    }
    bool reply;
    std::vector<std::string> shown;
};

TEST(SourceListCommands, RemovalAsksFirstAndRemindsWhenNothingIsSelected) {
    SourceList list = listOf(3);
    ScriptedObserver no(false);
    EXPECT_EQ(removeSelectedSources(list, no, 2), 2);
    EXPECT_EQ(no.shown, (Names{"알림|삭제 할 항목을 먼저 선택하십시요"}));

    select(list, {1});
    EXPECT_EQ(removeSelectedSources(list, no, 1), 1);
    EXPECT_EQ(no.shown.back(), "질문|선택한 항목을 목록에서 제거하시겠습니까?");
    EXPECT_EQ(list.rowCount(), 3u);
    EXPECT_FALSE(removeAllSources(list, no));
    EXPECT_EQ(no.shown.back(), "질문|모든 항목을 목록에서 제거하시겠습니까?");
    EXPECT_EQ(list.rowCount(), 3u);

    ScriptedObserver yes(true);
    EXPECT_EQ(removeSelectedSources(list, yes, 1), 1);
    EXPECT_EQ(names(list), (Names{"0", "2"}));
    EXPECT_TRUE(removeAllSources(list, yes));
    EXPECT_EQ(list.rowCount(), 0u);
    // An empty list asks nothing.
    const std::size_t asked = yes.shown.size();
    EXPECT_FALSE(removeAllSources(list, yes));
    EXPECT_EQ(yes.shown.size(), asked);
}

}  // namespace
}  // namespace torvane
