#include "app/update_checker.h"

#include <QMessageBox>
#include <QMetaObject>
#include <ctime>
#include <utility>

#include "app/qt_text.h"
#include "app/update_dialog.h"
#include "platform/private_folder.h"

namespace torvane::app {

UpdateChecker::UpdateChecker(const OptionStore& options, QWidget* dialogParent, OpenInstaller openInstaller,
                             DownloadLimits limits)
    : options_(options), dialogParent_(dialogParent), openInstaller_(std::move(openInstaller)), limits_(limits) {}

UpdateChecker::~UpdateChecker() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

bool UpdateChecker::checkForUpdate(bool automaticCheck) {
    if (busy_) return false;
    busy_ = true;
    runOnWorker([this, automaticCheck] {
        UpdateServerAnswer answer = askUpdateServer(options_, automaticCheck, std::time(nullptr), limits_, &cancel_);
        // Queued to this object: dropped if the checker is gone by the time the UI thread gets it.
        QMetaObject::invokeMethod(
            this, [this, automaticCheck, answer = std::move(answer)] { answered(automaticCheck, answer); },
            Qt::QueuedConnection);
    });
    return true;
}

void UpdateChecker::runOnWorker(std::function<void()> work) {
    // The previous worker has posted its result and returned by now: a new one starts only from
    // the UI thread's handling of that result.
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread(std::move(work));
}

void UpdateChecker::answered(bool automaticCheck, const UpdateServerAnswer& answer) {
    using Outcome = UpdateServerAnswer::Outcome;
    if (answer.outcome == Outcome::upToDate && !automaticCheck) {
        QMessageBox::information(dialogParent_, QStringLiteral("안내"),
                                 QStringLiteral("최신버전을 사용하고 계십니다."));
    }
    if (answer.outcome != Outcome::newerVersion) return finish();

    UpdateDialog dialog(toQt(answer.response.message), options_, dialogParent_);
    if (dialog.exec() != UpdateDialog::kUpdate) return finish();

    const std::string folder = privateTemporaryFolder();
    if (folder.empty()) return finish();
    runOnWorker([this, response = answer.response, folder] {
        InstallerDownload installer = downloadInstaller(response, folder, limits_, &cancel_);
        QMetaObject::invokeMethod(
            this, [this, installer = std::move(installer)] { installerReady(installer); }, Qt::QueuedConnection);
    });
}

void UpdateChecker::installerReady(const InstallerDownload& installer) {
    // A failed or rejected download is silent: the program goes on as it was.
    if (installer.ok && openInstaller_ && openInstaller_(installer.path)) {
        finish();
        emit installerOpened(toQt(installer.path));
        return;
    }
    finish();
}

void UpdateChecker::finish() {
    busy_ = false;
    emit checkFinished();
}

}  // namespace torvane::app
