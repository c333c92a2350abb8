#include "app/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include "app/qt_text.h"
#include "platform/private_folder.h"

namespace torvane::app {
namespace {

constexpr int kAnswerWaitMs = 2000;
// The running copy's answer once it has taken the request.
constexpr char kTaken[] = "taken\n";

// The request is a few lines: "show", then "add " and a percent-encoded path per file, so a
// path may hold any character, line breaks included; "end" closes it.
QByteArray requestFor(const QStringList& files) {
    QByteArray request = "show\n";
    for (const QString& file : files) request += "add " + file.toUtf8().toPercentEncoding() + "\n";
    return request + "end\n";
}

// Hands the request to the running copy; false when it did not take it.
bool askRunningCopy(const QString& socketPath, const QStringList& files) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kAnswerWaitMs)) return false;
    socket.write(requestFor(files));
    if (!socket.waitForBytesWritten(kAnswerWaitMs)) return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kAnswerWaitMs)) return false;
    }
    return socket.readLine() == kTaken;
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& name, QObject* parent)
    : QObject(parent), folder_(folder), name_(name) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder() {
    return toQt(privateTemporaryFolder());
}

QString SingleInstance::defaultName() {
    return QStringLiteral("instance");
}

InstanceClaim SingleInstance::claim(const QStringList& files) {
    if (folder_.isEmpty() || !isPrivateFolderOfOurs(fromQt(folder_))) return InstanceClaim::NoPrivateFolder;
    const QString base = folder_ + QLatin1Char('/') + name_;
    lock_ = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
    // A lock left by a copy that crashed is taken over (QLockFile checks that its process is gone).
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return askRunningCopy(base + QStringLiteral(".socket"), files) ? InstanceClaim::HandedOver
                                                                       : InstanceClaim::Unreachable;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed copy would make listen fail; we hold the lock, so it is stale.
    QLocalServer::removeServer(base + QStringLiteral(".socket"));
    // A copy that cannot listen still runs; later starts say that they cannot reach it.
    server_->listen(base + QStringLiteral(".socket"));
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::answerRequests);
    return InstanceClaim::First;
}

void SingleInstance::answerRequests() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The request may already be buffered when the connection is taken.
        const auto readRequest = [this, socket] {
            // Whole once its last line has come (a path's own line breaks are percent-encoded).
            if (!socket->peek(socket->bytesAvailable()).endsWith("\nend\n")) return;
            QStringList requested;
            bool show = false;
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine().chopped(1);
                if (line == "show") show = true;
                if (line.startsWith("add "))
                    requested << QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(4)));
            }
            socket->write(kTaken);
            socket->flush();
            if (show) emit showRequested();
            if (!requested.isEmpty()) emit filesRequested(requested);
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequest);
        if (socket->bytesAvailable() > 0) readRequest();
    }
}

}  // namespace torvane::app
