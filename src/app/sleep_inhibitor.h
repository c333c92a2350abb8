#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

class QDBusPendingCallWatcher;

namespace torvane::app {

// Keeps the machine from suspending while a run goes on: logind's Inhibit ("sleep:idle",
// "block") on the system bus hands out a file descriptor that holds the lock for as long as it
// is open, so the lock also ends when the program dies. Without logind nothing is held and
// nothing is said: the run goes on as ever.
class SleepInhibitor : public QObject {
    Q_OBJECT

public:
    // bus: where logind answers (the system bus; a private one in tests).
    explicit SleepInhibitor(QDBusConnection bus, QObject* parent = nullptr);
    ~SleepInhibitor() override;

    // Asks for the lock without waiting for the answer; nothing when it is held or asked for.
    void hold();
    // Gives the lock back (closes the descriptor); an answer still on its way is dropped.
    void release();
    bool isHeld() const { return lock_.isValid(); }

signals:
    // The lock was taken or given back.
    void heldChanged(bool held);

private:
    void answered(QDBusPendingCallWatcher* call);

    QDBusConnection bus_;
    QDBusUnixFileDescriptor lock_;
    QDBusPendingCallWatcher* pending_ = nullptr;
    bool wanted_ = false;
};

}  // namespace torvane::app
