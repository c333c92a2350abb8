// Not a test: opens the main window on real files, chooses a preset, and saves a picture of the
// window and of every dialog it opens, for people to look at (scripts/screenshots.sh).
// Usage: window_tour PROGRAM_FOLDER OUTPUT_FOLDER FILE...
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>

#include "app/about_dialog.h"
#include "app/finish_dialog.h"
#include "app/main_window.h"
#include "app/media_detail_dialog.h"
#include "app/options_dialog.h"
#include "app/power_control.h"
#include "app/preset_tree.h"
#include "app/settings_dialog.h"
#include "app/shutdown_countdown.h"
#include "app/source_list_view.h"
#include "app/test_encode_dialog.h"
#include "app/trim_dialog.h"
#include "app/update_dialog.h"
#include "app/web_panel.h"
#include "command/placeholders.h"
#include "media/mediainfo_library.h"
#include "platform/user_folders.h"
#include "run/queue_controller.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/program_files.h"

namespace {

using namespace torvane;
using namespace torvane::app;

class NoPowerControl : public PowerControl {
public:
    bool powerAction(std::string_view) override { return false; }
};

// Lets the window settle: layouts, paints and queued work, for a moment of wall-clock time.
void settle(int ms = 300) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void save(QWidget& widget, const std::string& folder, const char* name) {
    widget.show();
    widget.raise();
    settle();
    const std::string path = folder + "/" + name + ".png";
    if (!widget.grab().save(QString::fromStdString(path))) std::fprintf(stderr, "could not write %s\n", path.c_str());
    std::printf("%s  %dx%d\n", path.c_str(), widget.width(), widget.height());
}

QTreeWidgetItem* firstPreset(QTreeWidgetItem* group) {
    group->setExpanded(true);
    for (int i = 0; i < group->childCount(); ++i) {
        if (PresetTree::kindOf(group->child(i)) == PresetTree::ItemKind::Preset) return group->child(i);
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    prepareBrowserControl(true);
    QApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: window_tour PROGRAM_FOLDER OUTPUT_FOLDER FILE...\n");
        return 2;
    }
    const std::string programFolder = argv[1];
    const std::string out = argv[2];
    std::filesystem::create_directories(out);
    const std::string config = out + "/config";
    std::filesystem::create_directories(config);

    FormatCatalogue catalogue;
    if (!catalogue.loadCatalogue(catalogueFileOf(programFolder))) return 1;
    const OptionStore options(config);
    options.setOption("viewsettingonpreset", "n");
    const std::string converted = out + "/converted";
    std::filesystem::create_directories(converted);
    options.setOption("lastoutdir", converted);
    NoPowerControl power;
    MediaInfoLibrary& library = MediaInfoLibrary::instance();
    MainWindow window(AppServices{programFolder, &catalogue, &options, &library, &power});
    window.show();

    QStringList files;
    for (int i = 3; i < argc; ++i) files << QString::fromLocal8Bit(argv[i]);
    QEventLoop adding;
    QObject::connect(&window, &MainWindow::filesAdded, &adding, &QEventLoop::quit);
    window.addFiles(files);
    adding.exec();

    // A preset from the device group, chosen as a user would.
    PresetTree& tree = *window.widgets().tree;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        if (tree.topLevelItem(i)->text(0) != QStringLiteral("기기설정")) continue;
        QTreeWidgetItem* group = tree.topLevelItem(i);
        for (int j = 0; j < group->childCount(); ++j) {
            if (QTreeWidgetItem* preset = firstPreset(group->child(j))) {
                tree.setCurrentItem(preset);
                break;
            }
        }
    }
    window.widgets().list->selectOnlyRow(0);
    save(window, out, "main_window");

    std::unique_ptr<QMenu> menu = window.makeListMenu(0);
    save(*menu, out, "list_menu");
    menu->hide();

    EncodeSettings dialogSettings;
    const SettingsDialogContext context{&catalogue, &options, startupPlaceholderValues(programFolder)};
    SettingsDialog settings(context, window.currentSettings(), dialogSettings, kSettingsFromButton, &window);
    save(settings, out, "settings_dialog");
    settings.hide();

    OptionsDialog optionsDialog(options, programFolder, &window);
    save(optionsDialog, out, "options_dialog");
    optionsDialog.hide();

    MediaSummary kept;
    MediaDetailDialog details(library, options, kept, window.sourceList().item(0)->sourcePath, &window);
    save(details, out, "media_detail_dialog");
    details.hide();

    TestEncodeDialog test(5, &window);
    save(test, out, "test_encode_dialog");
    test.hide();

    FinishDialog finish(FinishFolderTarget{out, false}, {}, 0, &window);
    save(finish, out, "finish_dialog");
    finish.hide();

    UpdateDialog update(QStringLiteral("새 버전에서 달라진 점:\n- 변환 속도 향상\n- 구간설정"), options, &window);
    save(update, out, "update_dialog");
    update.hide();

    // The about page comes from the support server; here a closed loopback port stands in for it.
    options.setOption("updateserver", "http://127.0.0.1:9");
    AboutDialog about(options, QString::fromStdString(programFolder), &window);
    save(about, out, "about_dialog");
    about.hide();

    // The player draws into the panel; the picture is taken once it has had a moment to start.
    TrimDialog trim(*window.sourceList().item(0), findProgram(programFolder, "mplayer"), &window);
    trim.show();
    settle(1500);
    // From the screen: the player's picture is another program's drawing, which grab() cannot see.
    const std::string trimPath = out + "/trim_dialog.png";
    QGuiApplication::primaryScreen()->grabWindow(trim.winId()).save(QString::fromStdString(trimPath));
    std::printf("%s  %dx%d\n", trimPath.c_str(), trim.width(), trim.height());
    trim.reject();

    ShutdownCountdown countdown(30, &window);
    save(countdown, out, "shutdown_countdown");
    countdown.reject();

    // The window while converting: started, caught once the current bar has moved, stopped.
    options.setOption("finishalert", "n");
    window.widgets().startButton->click();
    QElapsedTimer waited;
    waited.start();
    while (window.controller().runActive() && window.widgets().currentBar->value() < 30 && waited.elapsed() < 20000) {
        settle(50);
    }
    save(window, out, "main_window_running");
    if (window.controller().runActive()) {
        // The stop message is answered by closing it as soon as it shows.
        QTimer::singleShot(200, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        window.widgets().stopButton->click();
    }
    return 0;
}
