#include "app/desktop_actions.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "app/qt_text.h"
#include "platform/user_folders.h"

namespace torvane::app {
namespace {

// A file manager that has to be started first by D-Bus activation needs a moment; a bus that
// never answers must not hold the window longer than this.
constexpr int kFileManagerReplyTimeoutMs = 5000;

// The program outlives this call and is never waited for; being detached, it leaves no zombie
// behind. Its console output would only clutter ours.
bool startDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

}  // namespace

QStringList playerArguments(const std::string& path) {
    // The player's window takes the keys; there is no terminal to read them from.
    QStringList arguments{QStringLiteral("-subcp"), QStringLiteral("cp949"), QStringLiteral("-noconsolecontrols")};
    // A file whose name begins with "-" is still a file, not an option.
    arguments << QStringLiteral("--") << toQt(path);
    return arguments;
}

bool playFile(const std::string& programFolder, const std::string& path) {
    const std::string mplayer = findProgram(programFolder, "mplayer");
    if (mplayer.empty()) return false;
    return startDetached(toQt(mplayer), playerArguments(path));
}

bool openFolder(const std::string& folder) {
    const QFileInfo target(folder.empty() ? QDir::homePath() : toQt(folder));
    if (!target.isDir()) return false;
    // Absolute, so that a folder named like an option cannot be taken for one.
    const QString path = target.absoluteFilePath();
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty()) return startDetached(xdgOpen, {path});
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool openWithDesktop(const QString& fileOrAddress) {
    const QUrl url = QUrl::fromUserInput(fileOrAddress);
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty()) return startDetached(xdgOpen, {url.isLocalFile() ? url.toLocalFile() : url.toString()});
    return QDesktopServices::openUrl(url);
}

bool showItemsOverBus(const QDBusConnection& bus, const std::string& file) {
    if (!bus.isConnected()) return false;
    const QString uri = QUrl::fromLocalFile(QFileInfo(toQt(file)).absoluteFilePath()).toString(QUrl::FullyEncoded);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{uri} << QString();
    // The window keeps painting while the file manager starts up.
    const QDBusMessage reply = bus.call(call, QDBus::BlockWithGui, kFileManagerReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool showFileInFileManager(const std::string& file) {
    if (showItemsOverBus(QDBusConnection::sessionBus(), file)) return true;
    return openFolder(fromQt(QFileInfo(toQt(file)).absolutePath()));
}

}  // namespace torvane::app
