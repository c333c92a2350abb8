#include "app/source_list_view.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>

#include "app/qt_text.h"
#include "media/source_item.h"
#include "run/source_list.h"

namespace torvane::app {
namespace {

struct ColumnLook {
    const char* header;
    Qt::Alignment alignment;
    int width;
};

// Headers, alignment and starting widths, in column order.
constexpr ColumnLook kColumns[kSourceColumnCount] = {
    {"", Qt::AlignRight, 24},         {"입력 파일", Qt::AlignLeft, 180},
    {"시간", Qt::AlignHCenter, 64},   {"크기", Qt::AlignHCenter, 80},
    {"비디오", Qt::AlignHCenter, 75}, {"오디오", Qt::AlignHCenter, 75},
    {"자막", Qt::AlignHCenter, 40},   {"진행(%)", Qt::AlignRight, 60},
    {"파일용량", Qt::AlignRight, 80}, {"생성된 파일", Qt::AlignLeft, 140},
};

}  // namespace

SourceListView::SourceListView(SourceList& list, QWidget* parent) : QTableWidget(parent), list_(list) {
    setColumnCount(static_cast<int>(kSourceColumnCount));
    QStringList headers;
    for (const ColumnLook& look : kColumns) headers << QString::fromUtf8(look.header);
    setHorizontalHeaderLabels(headers);
    for (int column = 0; column < columnCount(); ++column) {
        setColumnWidth(column, kColumns[column].width);
        horizontalHeaderItem(column)->setTextAlignment(kColumns[column].alignment | Qt::AlignVCenter);
    }
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // One stop in the window's tab order: Tab leaves the list rather than walking its cells.
    // Insert and Delete are the window's own keys, working wherever the focus is.
    setTabKeyNavigation(false);

    connect(this, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        const int row = rowAt(position.y());
        emit menuRequested(row, viewport()->mapToGlobal(position));
    });
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { emit rowDoubleClicked(row); });
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        if (row >= 0 && row != previousRow) emit rowChosen(row);
    });
}

void SourceListView::fillRow(int row) {
    static const QFileIconProvider icons;
    const auto cells = list_.cells(static_cast<std::size_t>(row));
    for (int column = 0; column < columnCount(); ++column) {
        QTableWidgetItem* cell = item(row, column);
        if (cell == nullptr) {
            cell = new QTableWidgetItem;
            cell->setTextAlignment(kColumns[column].alignment | Qt::AlignVCenter);
            setItem(row, column, cell);
        }
        cell->setText(toQt(cells[static_cast<std::size_t>(column)]));
    }
    if (const SourceItem* source = list_.item(static_cast<std::size_t>(row))) {
        item(row, 0)->setIcon(icons.icon(QFileInfo(toQt(source->sourcePath))));
    }
    showRowTips(row);
}

void SourceListView::showRowTips(int row) {
    const auto listRow = static_cast<std::size_t>(row);
    const QString result = toQt(list_.resultText(listRow));
    const SourceItem* source = list_.item(listRow);
    for (int column = 0; column < columnCount(); ++column) {
        QTableWidgetItem* cell = item(row, column);
        if (cell == nullptr) continue;
        // The icon cell has no text: its tip names the whole source path.
        QString tip = column == 0 && source != nullptr ? toQt(source->sourcePath) : cell->text();
        if (!result.isEmpty()) tip = tip.isEmpty() ? result : tip + QStringLiteral("\n") + result;
        cell->setToolTip(tip);
    }
}

void SourceListView::showAllRows() {
    const QSignalBlocker quiet(this);
    setRowCount(static_cast<int>(list_.rowCount()));
    clearSelection();
    int current = -1;
    for (int row = 0; row < rowCount(); ++row) {
        fillRow(row);
        if (list_.isSelected(static_cast<std::size_t>(row))) {
            selectionModel()->select(model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            if (current < 0) current = row;
        }
    }
    if (current >= 0) {
        selectionModel()->setCurrentIndex(model()->index(current, 0), QItemSelectionModel::NoUpdate);
    }
}

void SourceListView::appendRow() {
    const QSignalBlocker quiet(this);
    const int row = rowCount();
    insertRow(row);
    fillRow(row);
}

void SourceListView::showAppendedRow() {
    appendRow();
    selectOnlyRow(static_cast<std::size_t>(rowCount() - 1));
}

void SourceListView::setCell(std::size_t row, std::size_t column, const QString& text) {
    QTableWidgetItem* cell = item(static_cast<int>(row), static_cast<int>(column));
    if (cell == nullptr) return;
    cell->setText(text);
    showRowTips(static_cast<int>(row));
}

void SourceListView::selectOnlyRow(std::size_t row) {
    if (static_cast<int>(row) >= rowCount()) return;
    list_.selectOnly(row);
    const int index = static_cast<int>(row);
    {
        const QSignalBlocker quiet(this);
        clearSelection();
        selectionModel()->setCurrentIndex(model()->index(index, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    scrollToItem(item(index, 0));
    emit rowChosen(index);
}

void SourceListView::storeSelection() {
    for (std::size_t row = 0; row < list_.rowCount(); ++row) {
        list_.setSelected(row, selectionModel()->isRowSelected(static_cast<int>(row), QModelIndex()));
    }
}

}  // namespace torvane::app
