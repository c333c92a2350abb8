#pragma once

#include <QStringList>
#include <QTableWidget>
#include <cstddef>

namespace torvane {
class SourceList;
}

namespace torvane::app {

// The list of sources as the window shows it: one row per item of the SourceList, ten columns
// with the file icon in the first. The SourceList stays the truth: the view copies its texts
// and hands selections back before a command acts on them.
class SourceListView : public QTableWidget {
    Q_OBJECT

public:
    SourceListView(SourceList& list, QWidget* parent = nullptr);

    // Redraws every row from the list (after adds, moves and removals).
    void showAllRows();
    // A new last row, made the selected one.
    void showAppendedRow();
    // A new last row, selection left as it is (a batch selects its last row once, at its end).
    void appendRow();
    // One cell the run writes; the row's tips follow its result (a failure's reason).
    void setCell(std::size_t row, std::size_t column, const QString& text);
    // Makes row the one selected and focused row and scrolls to it.
    void selectOnlyRow(std::size_t row);
    // Copies the view's selection into the list, for the commands that act on it.
    void storeSelection();

signals:
    // The row that became the selected and focused one.
    void rowChosen(int row);
    void rowDoubleClicked(int row);
    // Right click: the row under the cursor, or -1 below the last row.
    void menuRequested(int row, QPoint globalPosition);

private:
    void fillRow(int row);
    // Each cell's tip is its text (cut texts can be read whole), followed by the row's result.
    void showRowTips(int row);

    SourceList& list_;
};

}  // namespace torvane::app
