#pragma once

#include <QDialog>
#include <QTimer>

class QLineEdit;

namespace torvane::app {

// "자동종료": counts down before the computer is powered off. exec() ends Accepted when the
// count runs out (the caller powers off then) and Rejected when "PC종료 취소" or Escape cancels.
class ShutdownCountdown : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDefaultTickIntervalMs = 1000;

    ShutdownCountdown(int seconds, QWidget* parent = nullptr);

    // The length of one counted second; tests count faster.
    void setTickIntervalMs(int intervalMs);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void tick();

    int secondsLeft_;
    bool started_ = false;
    QTimer timer_;
    QLineEdit* number_ = nullptr;
};

}  // namespace torvane::app
