#include "app/run_notification.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace torvane::app {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action a click on the notification's body invokes.
const QString kDefaultAction = QStringLiteral("default");
// A server that does not answer must not keep a call pending for long.
constexpr int kServerReplyTimeoutMs = 10000;

}  // namespace

RunNotifier::RunNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {
    if (!bus_.isConnected()) return;
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(notificationClosed(uint, uint)));
}

void RunNotifier::notifyRunEnded(int succeeded, int failed, bool stopped) {
    if (!bus_.isConnected()) return;
    const QString summary = stopped ? QStringLiteral("동영상 변환 중지") : QStringLiteral("동영상 변환 완료");
    const QString body = QStringLiteral("변환된 파일 %1개, 실패한 파일 %2개").arg(succeeded).arg(failed);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // The server names us and finds our icon through the desktop entry.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("torvane")}};
    call << QStringLiteral("토르베인") << shownId_ << QStringLiteral("torvane") << summary << body
         << QStringList{kDefaultAction, QStringLiteral("창 열기")} << hints << -1;
    // Sent without waiting: the run's completion goes on whether a server answers or not.
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, kServerReplyTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answered) {
        answered->deleteLater();
        const QDBusPendingReply<uint> reply = *answered;
        if (!reply.isError()) shownId_ = reply.value();
    });
}

void RunNotifier::actionInvoked(uint id, const QString& actionKey) {
    if (id == 0 || id != shownId_ || actionKey != kDefaultAction) return;
    emit activated();
}

void RunNotifier::notificationClosed(uint id, uint /*reason*/) {
    if (id == shownId_) shownId_ = 0;
}

}  // namespace torvane::app
