#pragma once

#include <QDialog>

class QLineEdit;

namespace torvane::app {

// "테스트 인코딩": asks how many seconds of each file a test run encodes.
class TestEncodeDialog : public QDialog {
    Q_OBJECT

public:
    TestEncodeDialog(int seconds, QWidget* parent = nullptr);

    // The field read as an unsigned number; 0 when it holds none.
    int seconds() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* seconds_ = nullptr;
};

}  // namespace torvane::app
