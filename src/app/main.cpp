// torvane: the converter's window. One copy runs per user; a second start shows the first.
#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/main_window.h"
#include "app/power_control.h"
#include "app/qt_text.h"
#include "app/qt_translations.h"
#include "app/single_instance.h"
#include "app/support_site.h"
#include "app/web_panel.h"
#include "media/mediainfo_library.h"
#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/program_files.h"
#include "update/program_version.h"

namespace {

using torvane::app::toQt;

// For bench/window_bench.sh: with TORVANE_REPORT_FIRST_PAINT set, the wall-clock time of the
// window's first paint is printed (nanoseconds since the epoch) and the program ends.
class FirstPaintReporter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("first-paint-ns %lld\n",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool reported_ = false;
};

// "--version" and "--help" are answered before Qt starts, so they work without a display (a
// packager's check, a script, a terminal over SSH).
bool answeredFromCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            std::printf("torvane %.*s\n", static_cast<int>(torvane::kProgramVersionText.size()),
                        torvane::kProgramVersionText.data());
            return true;
        }
        if (argument == "-h" || argument == "--help") {
            std::printf(
                "Usage: torvane [FILE...]\n\n"
                "Opens the converter's window with the named video and audio files in its list; with\n"
                "a window already open, the files go to that window instead.\n\n"
                "  -h, --help     show this help\n"
                "  --version      show the version and end\n");
            return true;
        }
    }
    return false;
}

void warn(QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QStringLiteral("안내"), text, QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("확인"));
    box.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredFromCommandLine(argc, argv)) return 0;
    // mplayer draws the preview into an X11 window of ours (-wid): in a Wayland session the
    // window runs through XWayland, unless the user chose a platform.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("WAYLAND_DISPLAY") != nullptr &&
        std::getenv("DISPLAY") != nullptr) {
        setenv("QT_QPA_PLATFORM", "xcb", 0);
    }
    const torvane::OptionStore options(torvane::defaultConfigFolder());
    torvane::app::prepareBrowserControl(torvane::app::windowPanelsSwitchedOn(options));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("torvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("토르베인"));
    QApplication::setDesktopFileName(QStringLiteral("torvane"));
    torvane::app::installQtTranslations(application);
    // Closing the window may only hide it to the tray; the program ends when the window says so.
    QApplication::setQuitOnLastWindowClosed(false);

    // Files named on the command line (the desktop entry passes them) go to the list, or to the
    // copy that already runs.
    QStringList files = QApplication::arguments();
    files.removeFirst();
    for (QString& file : files) file = QFileInfo(file).absoluteFilePath();
    using torvane::app::InstanceClaim;
    torvane::app::SingleInstance instance(torvane::app::SingleInstance::defaultFolder(),
                                          torvane::app::SingleInstance::defaultName());
    const InstanceClaim claim = instance.claim(files);
    if (claim == InstanceClaim::HandedOver) return 0;
    // The files are never dropped: a start that cannot hand them over opens its own window.
    if (claim == InstanceClaim::Unreachable) {
        warn(QMessageBox::Warning, QStringLiteral("이미 실행 중인 토르베인이 응답하지 않아 새 창을 엽니다.\n\n"
                                                  "추가한 파일은 새 창의 목록에 들어갑니다."));
    } else if (claim == InstanceClaim::NoPrivateFolder) {
        warn(QMessageBox::Warning,
             QStringLiteral("실행 폴더(XDG_RUNTIME_DIR 또는 /tmp 아래의 개인 폴더)가 이 사용자만 쓸 수 있는 "
                            "폴더가 아니어서, 이미 실행 중인 토르베인을 찾지 않고 새 창을 엽니다."));
    }

    torvane::MediaInfoLibrary& library = torvane::MediaInfoLibrary::instance();
    if (!library.isLoaded()) {
        warn(QMessageBox::Critical, toQt(torvane::MediaInfoLibrary::kMissingMessage));
        return 1;
    }

    const std::string programFolder = torvane::executableFolder();
    const std::string cataloguePath = torvane::catalogueFileOf(programFolder);
    torvane::FormatCatalogue catalogue;
    if (!catalogue.loadCatalogue(cataloguePath)) {
        warn(QMessageBox::Warning,
             QStringLiteral("torvane.ini 파일이 존재하지 않습니다.\n\n%1 에서 받으실 수 있습니다.")
                 .arg(QString::fromLatin1(torvane::app::kDownloadAddress)));
        return 1;
    }
    torvane::app::LogindPowerControl power;

    // A start timed by the window benchmark ends at its first paint, before any update check.
    const bool timedStart = std::getenv("TORVANE_REPORT_FIRST_PAINT") != nullptr;
    torvane::app::MainWindow window(
        torvane::app::AppServices{programFolder, &catalogue, &options, &library, &power, !timedStart, true});
    QObject::connect(&instance, &torvane::app::SingleInstance::showRequested, &window,
                     &torvane::app::MainWindow::showAndRaise);
    QObject::connect(&window, &torvane::app::MainWindow::closed, &application, &QApplication::quit);
    FirstPaintReporter firstPaint;
    if (timedStart) window.installEventFilter(&firstPaint);
    window.show();

    QObject::connect(&instance, &torvane::app::SingleInstance::filesRequested, &window,
                     &torvane::app::MainWindow::addFiles);
    if (!files.isEmpty()) window.addFiles(files);
    return QApplication::exec();
}
