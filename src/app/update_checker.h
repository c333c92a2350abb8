#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "update/http_download.h"
#include "update/update_check.h"

class QWidget;

namespace torvane {
class OptionStore;
}

namespace torvane::app {

// The update check of the window. The server is asked, and the installer downloaded, on a
// worker thread, so a slow or dead server never stops the window from painting; the answers,
// the dialogs and opening the installer happen on the UI thread. One check at a time: a request
// while one runs is dropped.
class UpdateChecker : public QObject {
    Q_OBJECT

public:
    // Hands the downloaded installer to the desktop (xdg-open); true when that started.
    using OpenInstaller = std::function<bool(const std::string& path)>;

    UpdateChecker(const OptionStore& options, QWidget* dialogParent, OpenInstaller openInstaller,
                  DownloadLimits limits = {});
    // Cancels a transfer under way and waits for the worker, which takes under a second.
    ~UpdateChecker() override;

    // automaticCheck: the check one second after start, which honours the three-day wish and
    // says nothing when the program is up to date. False while a check runs.
    bool checkForUpdate(bool automaticCheck);
    bool busy() const { return busy_; }

signals:
    // After every check, however it ended.
    void checkFinished();
    // The installer was handed to the desktop: the program should end so it can be replaced.
    void installerOpened(const QString& path);

private:
    void runOnWorker(std::function<void()> work);
    void answered(bool automaticCheck, const UpdateServerAnswer& answer);
    void installerReady(const InstallerDownload& installer);
    void finish();

    const OptionStore& options_;
    QPointer<QWidget> dialogParent_;
    OpenInstaller openInstaller_;
    DownloadLimits limits_;
    std::atomic<bool> cancel_{false};
    bool busy_ = false;
    std::thread worker_;
};

}  // namespace torvane::app
