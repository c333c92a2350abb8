#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;

namespace torvane::app {

// One copy of the program per user: the first start holds a lock file and listens on a local
// socket; a later start finds the lock taken, tells the first over the socket to show its
// window, and ends.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // name: the lock's and the socket's name, per user (tests pass their own).
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True for the first copy (which then listens); false when another copy runs, after
    // asking it to show itself and to add the files this start was given.
    bool claim(const QStringList& files = {});

    // The name the program uses: "torvane-" and the user id.
    static QString defaultName();

signals:
    // A later start asked this copy to show its window.
    void showRequested();
    // ... and to add these files to its list.
    void filesRequested(const QStringList& files);

private:
    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace torvane::app
