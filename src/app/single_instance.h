#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;

namespace torvane::app {

// How a start went with the copy that may already run.
enum class InstanceClaim {
    First,           // no other copy: this one holds the lock and listens
    HandedOver,      // another copy runs and took the files: this start ends
    Unreachable,     // another copy holds the lock but did not answer: this start runs on its own
    NoPrivateFolder  // the folder is not a private folder of ours: this start runs on its own
};

// One copy of the program per user: the first start holds a lock file and listens on a local
// socket, both in a private folder of the user; a later start finds the lock taken, hands the
// first its files over the socket, asks it to show its window, and ends once it has answered.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // folder: where the lock and the socket live; name: their name (tests pass their own).
    SingleInstance(const QString& folder, const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Claims the lock, or hands the files to the copy that holds it.
    InstanceClaim claim(const QStringList& files = {});

    const QString& folder() const { return folder_; }

    // The user's private runtime folder ($XDG_RUNTIME_DIR/torvane, else a folder of ours under
    // /tmp); empty when that is not a private folder of ours. Nobody else can see into it, so
    // nobody else can take the socket's name or answer in its place.
    static QString defaultFolder();
    static QString defaultName();

signals:
    // A later start asked this copy to show its window.
    void showRequested();
    // ... and to add these files to its list.
    void filesRequested(const QStringList& files);

private:
    void answerRequests();

    QString folder_;
    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace torvane::app
