// Adds the files named on the command line to a shown main window at once and reports how long
// the whole add took and the longest stretch in which the window's event loop could not turn
// (and so could not repaint), measured by a 5 ms timer on the UI thread.
// Usage: window_add_bench PROGRAM_FOLDER FILE...
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "app/source_list_view.h"
#include "media/mediainfo_library.h"
#include "no_power_control.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/program_files.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_add_bench PROGRAM_FOLDER FILE...\n");
        return 2;
    }
    const std::string programFolder = argv[1];
    QStringList files;
    for (int i = 2; i < argc; ++i) files << QString::fromLocal8Bit(argv[i]);

    const std::string config = (std::filesystem::temp_directory_path() / "torvane-window-bench").string();
    std::filesystem::create_directories(config);
    torvane::FormatCatalogue catalogue;
    if (!catalogue.loadCatalogue(torvane::catalogueFileOf(programFolder))) return 1;
    const torvane::OptionStore options(config);
    options.setOption("viewsettingonpreset", "n");
    torvane::bench::NoPowerControl power;
    torvane::app::MainWindow window(
        torvane::app::AppServices{programFolder, &catalogue, &options, &torvane::MediaInfoLibrary::instance(), &power});
    window.show();

    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });

    QElapsedTimer total;
    QObject::connect(&window, &torvane::app::MainWindow::filesAdded, [&] {
        const double seconds = static_cast<double>(total.nsecsElapsed()) / 1e9;
        std::printf("files %lld\nrows %d\nseconds %.3f\nlongest-stall-ms %lld\n", static_cast<long long>(files.size()),
                    window.widgets().list->rowCount(), seconds, static_cast<long long>(longestGapMs));
        QApplication::quit();
    });
    // Start once the window has been shown and painted.
    QTimer::singleShot(200, [&] {
        sinceTick.start();
        ticker.start();
        total.start();
        window.addFiles(files);
    });
    const int status = QApplication::exec();
    std::filesystem::remove_all(config);
    return status;
}
