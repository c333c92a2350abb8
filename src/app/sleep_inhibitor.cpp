#include "app/sleep_inhibitor.h"

#include <fcntl.h>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace torvane::app {
namespace {

// logind answers at once; a bus that never answers must not leave a call pending for long.
constexpr int kLogindReplyTimeoutMs = 10000;

}  // namespace

SleepInhibitor::SleepInhibitor(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {}

SleepInhibitor::~SleepInhibitor() = default;

void SleepInhibitor::hold() {
    wanted_ = true;
    if (isHeld() || pending_ != nullptr || !bus_.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("토르베인") << QStringLiteral("동영상 변환 중")
         << QStringLiteral("block");
    // Asked without waiting: the run starts at once, whether logind answers or not.
    pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(call, kLogindReplyTimeoutMs), this);
    connect(pending_, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::answered);
}

void SleepInhibitor::answered(QDBusPendingCallWatcher* call) {
    pending_ = nullptr;
    call->deleteLater();
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    // No logind, or it said no: the run goes on without the lock.
    if (reply.isError() || !reply.value().isValid()) return;
    if (!wanted_) return;  // the run ended meanwhile: the answer's descriptor closes with it
    lock_ = reply.value();
    // Programs we start (a browser through xdg-open) must not carry the lock on after us.
    const int flags = ::fcntl(lock_.fileDescriptor(), F_GETFD);
    if (flags >= 0) ::fcntl(lock_.fileDescriptor(), F_SETFD, flags | FD_CLOEXEC);
    emit heldChanged(true);
}

void SleepInhibitor::release() {
    wanted_ = false;
    if (!isHeld()) return;
    // The last copy of the descriptor closes here, and with it logind's lock.
    lock_ = QDBusUnixFileDescriptor();
    emit heldChanged(false);
}

}  // namespace torvane::app
