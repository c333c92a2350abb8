#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "media/source_item.h"

namespace torvane {

inline constexpr std::size_t kSourceColumnCount = 10;

// The columns of the list, in order.
enum class SourceColumn : std::size_t {
    Icon = 0,
    InputFile = 1,
    Duration = 2,
    Size = 3,
    Video = 4,
    Audio = 5,
    Subtitle = 6,
    Progress = 7,
    FileSize = 8,
    OutputFile = 9,
};

// The sources to convert: a store of items keyed by itemId, and the rows that show them in
// conversion order. Every row references exactly one stored item; the totals of size and
// duration always match the store.
class SourceList {
public:
    std::size_t rowCount() const { return rows_.size(); }
    std::size_t itemCount() const { return items_.size(); }
    std::uint64_t totalBytes() const { return totalBytes_; }
    std::int64_t totalDurationSeconds() const { return totalDurationSeconds_; }

    // The item a row references; nullptr for a row index out of range.
    SourceItem* item(std::size_t row);
    const SourceItem* item(std::size_t row) const;
    // The key of the item a row references; empty for a row index out of range.
    std::string keyOfRow(std::size_t row) const;
    const SourceItem* findItem(const std::string& key) const;
    SourceItem* findItem(const std::string& key);
    // The row that shows the item of a key; -1 when no row does.
    int rowOfKey(const std::string& key) const;

    // Stores the item (under a fresh key if its id is empty or taken) and appends a row for it.
    // Returns the new row's index.
    std::size_t appendItem(SourceItem item);
    // Removes every row and item.
    void removeAll();

    bool isSelected(std::size_t row) const;
    void setSelected(std::size_t row, bool selected);
    void selectOnly(std::size_t row);
    bool anySelected() const;

    // Removes the selected rows and their items. Afterwards the only selected row is the one
    // that took the first removed row's place (the last row when none did); returns it as the
    // row to remember as clicked, or -1 when the list is empty.
    int removeSelected();

    // Each selected row moves one place up (down); a selected block moves as a whole, and a
    // block already at the top (bottom) stays where it is. The selection moves with the rows.
    void moveSelectedUp();
    void moveSelectedDown();

    // The texts of a row, as the list shows them.
    std::array<std::string, kSourceColumnCount> cells(std::size_t row) const;
    // The run writes the progress and output columns.
    void setProgressText(std::size_t row, std::string text);
    void setOutputText(std::size_t row, std::string text);
    // How the row's last conversion went, when it did not succeed ("실패: why", "중지됨: ..."):
    // the row's tips and its "결과" line show it; empty otherwise.
    void setResultText(std::size_t row, std::string text);
    const std::string& resultText(std::size_t row) const;

private:
    struct Row {
        std::string key;
        bool selected = false;
        std::string progressText;
        std::string outputText;
        std::string resultText;
    };
    void recomputeTotals();

    std::map<std::string, SourceItem> items_;
    std::vector<Row> rows_;
    std::uint64_t totalBytes_ = 0;
    std::int64_t totalDurationSeconds_ = 0;
};

}  // namespace torvane
