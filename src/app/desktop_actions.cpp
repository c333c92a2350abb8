#include "app/desktop_actions.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
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

// xdg-open ends at once with its verdict where the desktop opens the folder (gio, kde-open);
// elsewhere it runs the file manager itself and stays while that runs. The window waits this
// long for a verdict; an opener still running then has opened the folder.
constexpr int kOpenerVerdictMs = 1500;

bool runOpener(const QString& program, const QString& path) {
    // Not detached, so that its exit status can be read; it deletes itself when it ends.
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments({path});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) process->deleteLater();
    });
    process->start();
    if (!process->waitForStarted()) return false;
    if (!process->waitForFinished(kOpenerVerdictMs)) return true;
    return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
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
    if (!xdgOpen.isEmpty()) return runOpener(xdgOpen, path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void openFolderOrSay(QWidget* parent, const std::string& folder) {
    if (openFolder(folder)) return;
    const QString name = folder.empty() ? QDir::homePath() : toQt(folder);
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("안내"),
        QStringLiteral("폴더를 열 수 없습니다.\n\n%1\n\n폴더가 없거나, 폴더를 열 파일 관리자가 없습니다.").arg(name),
        QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("확인"));
    box.exec();
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
