#pragma once

#include <QDBusConnection>
#include <QObject>

namespace torvane::app {

// What the end of a run says on the desktop when the window cannot be seen: a notification
// of the desktop's notification server (org.freedesktop.Notifications on the session bus)
// whose click brings the window back. Without a server nothing is shown and nothing is said.
class RunNotifier : public QObject {
    Q_OBJECT

public:
    // bus: where the notification server answers (the session bus; a private one in tests).
    explicit RunNotifier(QDBusConnection bus, QObject* parent = nullptr);

    // "변환 완료" (or "변환 중지") with how many files converted and how many failed; a click
    // on it emits activated. Replaces the notification of an earlier run that is still shown.
    void notifyRunEnded(int succeeded, int failed, bool stopped);

signals:
    // The user clicked the notification.
    void activated();

private slots:
    // The server's signals, for every notification on the bus: only ours count.
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection bus_;
    uint shownId_ = 0;  // the server's id of our notification on screen; 0: none
};

}  // namespace torvane::app
