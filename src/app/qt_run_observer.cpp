#include "app/qt_run_observer.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "app/main_window_layout.h"
#include "app/qt_text.h"
#include "app/source_list_view.h"

namespace torvane::app {
namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QtRunObserver::QtRunObserver(QWidget& window, MainWindowWidgets& widgets, QStatusBar& statusBar, Hooks hooks)
    : window_(window), widgets_(widgets), statusBar_(statusBar), hooks_(std::move(hooks)) {}

void QtRunObserver::showMessage(std::string_view caption, std::string_view text, MessageIcon icon) {
    QMessageBox box(boxIcon(icon), toQt(caption), toQt(text), QMessageBox::Ok, &window_);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("확인"));
    box.exec();
}

bool QtRunObserver::askYesNo(std::string_view caption, std::string_view text) {
    QMessageBox box(QMessageBox::Question, toQt(caption), toQt(text), QMessageBox::Yes | QMessageBox::No, &window_);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("예"));
    box.button(QMessageBox::No)->setText(QStringLiteral("아니요"));
    // Enter answers yes, as Qt would choose on its own; said here because callers rely on it.
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtRunObserver::wakeOwner() {
    if (wakePending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            wakePending_ = false;
            hooks_.processEvents();
        },
        Qt::QueuedConnection);
}

void QtRunObserver::setCellText(std::size_t row, std::size_t column, std::string_view text) {
    widgets_.list->setCell(row, column, toQt(text));
}

void QtRunObserver::selectRow(std::size_t row) {
    widgets_.list->selectOnlyRow(row);
}

void QtRunObserver::showCurrentProgress(std::string_view percentText, int bar) {
    widgets_.currentPercent->setText(toQt(percentText));
    widgets_.currentBar->setValue(bar);
}

void QtRunObserver::showOverallProgress(std::string_view percentText, int bar) {
    widgets_.overallPercent->setText(toQt(percentText));
    widgets_.overallBar->setValue(bar);
}

void QtRunObserver::showSpeed(std::string_view text) {
    widgets_.speed->setText(toQt(text));
}

void QtRunObserver::showRemainingTime(std::string_view text) {
    widgets_.remainingTime->setText(toQt(text));
}

void QtRunObserver::showStatus(std::string_view text) {
    statusBar_.showMessage(toQt(text));
}

void QtRunObserver::setRunningUi(bool running) {
    hooks_.setRunningUi(running);
}

void QtRunObserver::showStopping() {
    widgets_.stopButton->setEnabled(false);
    widgets_.stopButton->setText(QStringLiteral("변환 중지 중..."));
    widgets_.pauseButton->setEnabled(false);
}

void QtRunObserver::showRunStopped() {
    showCurrentProgress("0%", 0);
    showOverallProgress("0%", 0);
    showSpeed("배속정보");
    showRemainingTime("00:00:00");
    statusBar_.clearMessage();
}

}  // namespace torvane::app
