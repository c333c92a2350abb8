#include "app/power_control.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>

namespace torvane::app {
namespace {

// logind answers at once; a hung bus must not keep the program from falling back to systemctl.
constexpr int kLogindReplyTimeoutMs = 10000;

bool askLogind(PowerRequest what) {
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"),
        what == PowerRequest::PowerOff ? QStringLiteral("PowerOff") : QStringLiteral("Reboot"));
    // Not interactive: the countdown was the user's chance to say no, nobody waits for a prompt.
    call << false;
    return bus.call(call, QDBus::Block, kLogindReplyTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

bool askSystemctl(PowerRequest what) {
    const QString systemctl = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (systemctl.isEmpty()) return false;
    return QProcess::startDetached(
        systemctl, {what == PowerRequest::PowerOff ? QStringLiteral("poweroff") : QStringLiteral("reboot")});
}

}  // namespace

std::optional<PowerRequest> powerRequestFor(std::string_view mode) {
    if (mode == "shutdown") return PowerRequest::PowerOff;
    if (mode == "restart") return PowerRequest::Reboot;
    return std::nullopt;
}

PowerControl::~PowerControl() = default;

bool LogindPowerControl::powerAction(std::string_view mode) {
    const std::optional<PowerRequest> what = powerRequestFor(mode);
    return what && request(*what);
}

bool LogindPowerControl::request(PowerRequest what) {
    return askLogind(what) || askSystemctl(what);
}

}  // namespace torvane::app
