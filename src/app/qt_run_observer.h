#pragma once

#include <QObject>
#include <atomic>
#include <functional>

#include "run/run_observer.h"

class QWidget;
class QStatusBar;

namespace torvane::app {

struct MainWindowWidgets;

// The run as the window shows it. The core calls every display method on the UI thread (from
// processEvents or a command); worker threads only call wakeOwner, which posts one call of
// processEvents to the UI thread and returns at once, so a worker never waits for the window.
class QtRunObserver : public QObject, public RunObserver {
    Q_OBJECT

public:
    struct Hooks {
        std::function<void()> processEvents;     // the run's processEvents
        std::function<void(bool)> setRunningUi;  // the window's idle and running states
    };

    QtRunObserver(QWidget& window, MainWindowWidgets& widgets, QStatusBar& statusBar, Hooks hooks);

    void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool askYesNo(std::string_view caption, std::string_view text) override;
    void wakeOwner() override;
    void setCellText(std::size_t row, std::size_t column, std::string_view text) override;
    void selectRow(std::size_t row) override;
    void showCurrentProgress(std::string_view percentText, int bar) override;
    void showOverallProgress(std::string_view percentText, int bar) override;
    void showSpeed(std::string_view text) override;
    void showRemainingTime(std::string_view text) override;
    void showStatus(std::string_view text) override;
    void setRunningUi(bool running) override;
    void showStopping() override;
    void showRunStopped() override;

private:
    QWidget& window_;
    MainWindowWidgets& widgets_;
    QStatusBar& statusBar_;
    Hooks hooks_;
    // Many wakes before the UI thread gets round to them need only one processEvents.
    std::atomic<bool> wakePending_{false};
};

}  // namespace torvane::app
