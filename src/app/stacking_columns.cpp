#include "app/stacking_columns.h"

#include <QGridLayout>
#include <QResizeEvent>
#include <algorithm>

namespace torvane::app {

StackingColumns::StackingColumns(std::vector<QWidget*> panels, QWidget* parent)
    : QWidget(parent), panels_(std::move(panels)), grid_(new QGridLayout(this)) {
    grid_->setContentsMargins(0, 0, 0, 0);
    arrange(static_cast<int>(panels_.size()));
}

QSize StackingColumns::minimumSizeHint() const {
    int widest = 0;
    for (const QWidget* panel : panels_) widest = std::max(widest, panel->minimumSizeHint().width());
    return {widest, grid_->minimumSize().height()};
}

int StackingColumns::columnsFitting(int width) const {
    const int spacing = std::max(0, grid_->horizontalSpacing());
    const int count = static_cast<int>(panels_.size());
    for (int columns = count; columns > 1; --columns) {
        // The grid gives every column the width of its widest panel.
        int needed = spacing * (columns - 1);
        for (int column = 0; column < columns; ++column) {
            int widest = 0;
            for (int i = column; i < count; i += columns) {
                widest = std::max(widest, panels_[static_cast<std::size_t>(i)]->minimumSizeHint().width());
            }
            needed += widest;
        }
        if (needed <= width) return columns;
    }
    return 1;
}

void StackingColumns::arrange(int columns) {
    if (columns == columns_) return;
    columns_ = columns;
    for (QWidget* panel : panels_) grid_->removeWidget(panel);
    for (int column = 0; column < grid_->columnCount(); ++column) grid_->setColumnStretch(column, 0);
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const int index = static_cast<int>(i);
        grid_->addWidget(panels_[i], index / columns, index % columns);
    }
    for (int column = 0; column < columns; ++column) grid_->setColumnStretch(column, 1);
    // The height needed has changed: the scroll area around asks again.
    updateGeometry();
}

void StackingColumns::resizeEvent(QResizeEvent* event) {
    arrange(columnsFitting(event->size().width()));
    QWidget::resizeEvent(event);
}

}  // namespace torvane::app
