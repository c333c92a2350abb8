#include "app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace torvane::app {
namespace {

constexpr int kAnswerWaitMs = 2000;

// The request is a few lines: "show", then "add " and a percent-encoded path per file, so a
// path may hold any character, line breaks included.
QByteArray requestFor(const QStringList& files) {
    QByteArray request = "show\n";
    for (const QString& file : files) request += "add " + file.toUtf8().toPercentEncoding() + "\n";
    return request;
}

QString lockFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder;
}

// Asks the running copy to show itself and add the files; false when no copy answers.
bool askRunningCopy(const QString& name, const QStringList& files) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kAnswerWaitMs)) return false;
    socket.write(requestFor(files));
    socket.waitForBytesWritten(kAnswerWaitMs);
    socket.disconnectFromServer();
    return true;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), name_(name) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName() {
    return QStringLiteral("torvane-%1").arg(::getuid());
}

bool SingleInstance::claim(const QStringList& files) {
    lock_ = std::make_unique<QLockFile>(lockFolder() + QLatin1Char('/') + name_ + QStringLiteral(".lock"));
    // A lock left by a copy that crashed is taken over (QLockFile checks that its process is gone).
    if (!lock_->tryLock(0)) {
        askRunningCopy(name_, files);
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed copy would make listen fail; we hold the lock, so it is stale.
    QLocalServer::removeServer(name_);
    server_->listen(name_);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            // The request may already be buffered when the connection is taken.
            const auto readRequest = [this, socket] {
                QStringList requested;
                bool show = false;
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine().trimmed();
                    if (line == "show") show = true;
                    if (line.startsWith("add "))
                        requested << QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(4)));
                }
                if (show) emit showRequested();
                if (!requested.isEmpty()) emit filesRequested(requested);
            };
            connect(socket, &QLocalSocket::readyRead, this, readRequest);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (socket->bytesAvailable() > 0) readRequest();
        }
    });
    return true;
}

}  // namespace torvane::app
