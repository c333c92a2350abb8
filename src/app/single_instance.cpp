#include "app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace torvane::app {
namespace {

constexpr int kAnswerWaitMs = 2000;
constexpr char kShowRequest[] = "show\n";

QString lockFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder;
}

// Asks the running copy to show itself; false when no copy answers.
bool askRunningCopy(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kAnswerWaitMs)) return false;
    socket.write(kShowRequest);
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

bool SingleInstance::claim() {
    lock_ = std::make_unique<QLockFile>(lockFolder() + QLatin1Char('/') + name_ + QStringLiteral(".lock"));
    // A lock left by a copy that crashed is taken over (QLockFile checks that its process is gone).
    if (!lock_->tryLock(0)) {
        askRunningCopy(name_);
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
                if (socket->readAll().contains("show")) emit showRequested();
            };
            connect(socket, &QLocalSocket::readyRead, this, readRequest);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (socket->bytesAvailable() > 0) readRequest();
        }
    });
    return true;
}

}  // namespace torvane::app
