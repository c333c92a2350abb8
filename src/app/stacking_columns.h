#pragma once

#include <QWidget>
#include <vector>

class QGridLayout;

namespace torvane::app {

// Panels side by side while the width allows it, fewer to a row as it shrinks, one under another
// at the narrowest: a dialog of three columns stays usable on a small screen, where a scroll
// area around it takes the height they then need.
class StackingColumns : public QWidget {
    Q_OBJECT

public:
    explicit StackingColumns(std::vector<QWidget*> panels, QWidget* parent = nullptr);

    // The panels in a row as now arranged.
    int columns() const { return columns_; }
    // As narrow as the widest panel alone; as high as the present arrangement needs.
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The most panels to a row whose rows all fit width.
    int columnsFitting(int width) const;
    void arrange(int columns);

    std::vector<QWidget*> panels_;
    QGridLayout* grid_ = nullptr;
    int columns_ = 0;
};

}  // namespace torvane::app
