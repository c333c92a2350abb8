// Converts the files named on the command line from a shown main window with the MP4 preset (so
// every finished item is post-processed), presses "변환 중지" once two items have finished
// (answering the message that follows), and reports the longest stretch in which the window's
// event loop could not turn, measured by a 5 ms timer on the UI thread, modal loops included.
// Usage: window_run_bench PROGRAM_FOLDER OUTPUT_FOLDER FILE...
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "media/mediainfo_library.h"
#include "no_power_control.h"
#include "run/queue_controller.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/program_files.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: window_run_bench PROGRAM_FOLDER OUTPUT_FOLDER FILE FILE FILE...\n");
        return 2;
    }
    const std::string programFolder = argv[1];
    QStringList files;
    for (int i = 3; i < argc; ++i) files << QString::fromLocal8Bit(argv[i]);

    const std::string config = (std::filesystem::temp_directory_path() / "torvane-window-run-bench").string();
    std::filesystem::create_directories(config);
    torvane::FormatCatalogue catalogue;
    if (!catalogue.loadCatalogue(torvane::catalogueFileOf(programFolder))) return 1;
    const torvane::OptionStore options(config);
    options.setOption("viewsettingonpreset", "n");
    options.setOption("finishalert", "n");
    options.setOption("lastoutdir", argv[2]);
    options.setOption("lastpreset", torvane::presetFolderOf(programFolder) + "/+ 일반 파일변환/mp4_h264.ini");
    torvane::bench::NoPowerControl power;
    torvane::app::MainWindow window(
        torvane::app::AppServices{programFolder, &catalogue, &options, &torvane::MediaInfoLibrary::instance(), &power});
    window.show();

    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    bool stopped = false;
    bool reported = false;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGapMs = std::max(longestGapMs, sinceTick.restart());
        // The stop's message box: answered as a person would, a moment later.
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            QTimer::singleShot(50, box, &QDialog::accept);
            return;
        }
        const torvane::QueueController& controller = window.controller();
        const auto& results = controller.results();
        const bool twoDone = results.size() > 2 && results[1].state != torvane::RunItemResult::State::Converting &&
                             results[1].state != torvane::RunItemResult::State::Waiting;
        if (!stopped && controller.runActive() && twoDone) {
            stopped = true;
            // Clicked from a call of its own: Qt never runs a timer's slot inside itself, so the
            // stop's message box must not open inside this one, which has to answer it.
            QTimer::singleShot(0, window.widgets().stopButton, &QPushButton::click);
            return;
        }
        if (stopped && !reported && controller.settled()) {
            reported = true;
            int succeeded = 0;
            for (const auto& result : results) succeeded += result.state == torvane::RunItemResult::State::Succeeded;
            std::printf("items %lld\nsucceeded %d\nlongest-stall-ms %lld\n", static_cast<long long>(files.size()),
                        succeeded, static_cast<long long>(longestGapMs));
            QApplication::quit();
        }
    });
    QObject::connect(&window, &torvane::app::MainWindow::filesAdded, [&] {
        sinceTick.start();
        ticker.start();
        window.widgets().startButton->click();
    });
    QTimer::singleShot(200, [&] { window.addFiles(files); });
    const int status = QApplication::exec();
    std::filesystem::remove_all(config);
    return status;
}
