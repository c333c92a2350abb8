#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDBusConnection>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <utility>

#include "app/about_dialog.h"
#include "app/app_icon.h"
#include "app/audio_player_window.h"
#include "app/desktop_actions.h"
#include "app/finish_dialog.h"
#include "app/media_detail_dialog.h"
#include "app/not_media_message.h"
#include "app/options_dialog.h"
#include "app/power_control.h"
#include "app/preset_tree.h"
#include "app/qt_run_observer.h"
#include "app/qt_text.h"
#include "app/run_notification.h"
#include "app/settings_dialog.h"
#include "app/shutdown_countdown.h"
#include "app/sleep_inhibitor.h"
#include "app/source_list_view.h"
#include "app/source_prober.h"
#include "app/test_encode_dialog.h"
#include "app/trim_dialog.h"
#include "app/update_checker.h"
#include "app/web_panel.h"
#include "app/window_place.h"
#include "command/command_context.h"
#include "command/settings_summary.h"
#include "media/media_query.h"
#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "run/queue_controller.h"
#include "run/queue_journal_keeper.h"
#include "run/source_list_commands.h"
#include "settings/option_store.h"
#include "settings/preset_folder.h"
#include "settings/program_files.h"
#include "update/web_addresses.h"

namespace torvane::app {
namespace {

const char kTitle[] = "토르베인 - 세상에서 가장 쉽고 빠른 동영상변환기";
const char kCloseWhileConverting[] =
    "종료하시겠습니까? \n\n[안내] 창을 닫을 때 트레이로 가게하려면, 환경설정에서 값을 수정해주세요.";
const char kMediaFilter[] =
    "미디어 파일(Media Files) (*.avi *.as* *.3g* *.mp* *.m4* *.div* *.dat *.skm *.k3g *.webm *.*264 *.m*v "
    "*.dvr-ms *.mod *.m*a *.qt *.rm* *.ra* *.*ts *.m2t *.wm* *.mk* *.og* *.vp* *.vob *.dv *.ac3 *.fla* "
    "*.aif* *.caf *.flac *.wav *.tp *.dvd *.mmf *.pcm *.swf *.f4v *.flv *.ape *.amr *.aac *.mxf *.jpm *.jpx "
    "*.mqv *.ismv *.dif *.vfw *.amv *.fli *.yuv *.cpk *.pmp *.ca1 *.ca2 *.m3u *.img *.vivo *.iso *.bin);;"
    "모든 파일 (*)";
constexpr int kShutdownSeconds = 30;

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

MainWindow::MainWindow(AppServices services, QWidget* parent) : QMainWindow(parent), services_(std::move(services)) {
    setWindowTitle(text(kTitle));
    setWindowIcon(appIcon());
    setAcceptDrops(true);
    w_ = buildMainWindowLayout(*this, list_);

    observer_ = std::make_unique<QtRunObserver>(*this, w_, *statusBar(),
                                                QtRunObserver::Hooks{[this] {
                                                                         controller_->processEvents();
                                                                         recordJournal();
                                                                         afterRunCall();
                                                                     },
                                                                     [this](bool running) { setRunningUi(running); }});
    controller_ = std::make_unique<QueueController>(
        list_, currentSettings_,
        programCommandContext(services_.programFolder, *services_.catalogue, *services_.options), *services_.options,
        *observer_);
    prober_ = std::make_unique<SourceProber>(*services_.library, [this](const std::string& path, ProbedSource probed) {
        acceptProbed(path, std::move(probed));
    });
    // Each batch of probed files ends with its last row selected, as if added one by one; the
    // panels are filled once per batch rather than once per file.
    connect(prober_.get(), &SourceProber::batchAccepted, this, [this] {
        if (lastAddedRow_ >= 0) w_.list->selectOnlyRow(static_cast<std::size_t>(lastAddedRow_));
        lastAddedRow_ = -1;
    });
    connect(prober_.get(), &SourceProber::idle, this, [this] {
        // Restored sources that could not be added again are not waited for any longer.
        restoring_.clear();
        recordJournal();
        // One message for the whole addition, naming every file that is not media.
        if (!refusedNotMedia_.isEmpty()) {
            const QStringList names = std::exchange(refusedNotMedia_, {});
            showNotMediaMessage(this, names);
        }
    });
    connect(prober_.get(), &SourceProber::idle, this, &MainWindow::filesAdded);

    w_.tree->populatePresetTree(presetFolderOf(services_.programFolder));
    sleepInhibitor_ = new SleepInhibitor(QDBusConnection::systemBus(), this);
    runNotifier_ = new RunNotifier(QDBusConnection::sessionBus(), this);
    connect(runNotifier_, &RunNotifier::activated, this, &MainWindow::showAndRaise);
    createTray();
    loadLastPreset();
    // The tree opened on its first group; it shows the preset in use instead.
    w_.tree->showPreset(currentSettings_.profilePath);
    chooseStartingOutputFolder();
    updateChecker_ = std::make_unique<UpdateChecker>(
        *services_.options, this, [](const std::string& path) { return openWithDesktop(toQt(path)); });
    wireCommands();
    refreshSummary();
    createWebPanels();
    placeWindow(*this, QSize(1120, noticePanel_ != nullptr ? 760 + kNoticeAreaHeight : 760),
                parseWindowPlace(services_.options->getOption("windowplace", "")));
    if (services_.automaticUpdateCheck) {
        QTimer::singleShot(1000, this, [this] { updateChecker_->checkForUpdate(true); });
    }
    if (services_.keepQueueJournal) {
        journal_ = std::make_unique<QueueJournalKeeper>();
        QTimer::singleShot(0, this, [this] { offerEarlierList(); });
    }
}

void MainWindow::offerEarlierList() {
    const JournalLoad load = journal_->loadEarlier();
    if (load.outcome == JournalLoad::Outcome::SetAside) {
        observer_->showMessage("안내", load.message, MessageIcon::Warning);
        return;
    }
    if (load.outcome != JournalLoad::Outcome::Loaded) return;
    if (!hasUnfinishedWork(load.journal) || !observer_->askYesNo("질문", "이전 작업 목록을 복원할까요?")) {
        journal_->forget();
        return;
    }
    // The run goes on with the settings and the folder it was started with.
    currentSettings_ = load.journal.settings;
    w_.tree->showPreset(currentSettings_.profilePath);
    w_.outputFolderEdit->setText(toQt(load.journal.output.folder));
    w_.sameFolderCheck->setChecked(load.journal.output.sameFolderAsSource);
    QStringList paths;
    for (const JournalEntry& entry : load.journal.entries) {
        restoring_[entry.sourcePath] = entry;
        paths << toQt(entry.sourcePath);
    }
    addFiles(paths);
    refreshSummary();
}

void MainWindow::recordJournal() {
    // A restored list still being probed would be recorded short.
    if (!journal_ || !restoring_.empty()) return;
    std::string error;
    OutputFolderChoice output;
    output.folder = fromQt(w_.outputFolderEdit->text());
    output.sameFolderAsSource = w_.sameFolderCheck->isChecked();
    bool written = true;
    if (controller_->runActive()) {
        // A test encode is a preview, not work to resume.
        if (!testRunUnderWay_) written = journal_->record(list_, *controller_, currentSettings_, output, &error);
    } else {
        // Between runs the list itself is recorded: files added, removed or moved, a range or
        // the settings changed.
        written = journal_->recordList(list_, testRunUnderWay_ ? nullptr : controller_.get(), currentSettings_, output,
                                       &error);
    }
    // A journal that cannot be written costs only the resume after a crash: the run goes on.
    if (!written) statusBar()->showMessage(toQt("작업 목록을 기록할 수 없습니다: " + error));
}

void MainWindow::createWebPanels() {
    const QString programFolder = toQt(services_.programFolder);
    if (!browserControlAvailable(programFolder)) return;
    const OptionStore& options = *services_.options;
    // Each panel's page is the support server's address for the panel's size.
    using PanelAddress = std::string (*)(const OptionStore&, int, int);
    const auto addPanel = [&](QWidget* area, PanelAddress address) {
        auto* panel = new WebPanel(
            programFolder,
            [&options, address](QSize size) { return QUrl(toQt(address(options, size.width(), size.height()))); },
            false);
        area->layout()->addWidget(panel);
        return panel;
    };
    if (options.getOption("ad", "n") == "y" && noticeFits()) {
        noticePanel_ = addPanel(w_.notice, noticePanelAddress);
        w_.notice->show();
    }
    if (options.getOption("ad2", "n") == "y") sidePanel_ = addPanel(w_.runPanel, sidePanelAddress);
}

bool MainWindow::noticeFits() const {
    // On a small screen the notice is the first thing to give up its room: the controls keep it.
    const QScreen* shown = QGuiApplication::primaryScreen();
    return shown == nullptr || minimumSizeHint().height() + kNoticeAreaHeight <= usableScreenSize(*shown).height();
}

void MainWindow::openSupportPage(const char* menu) {
    openWithDesktop(toQt(goPageAddress(*services_.options, menu)));
}

MainWindow::~MainWindow() {
    // The prober's worker and the run's encoder end before the list they work for.
    prober_.reset();
    controller_.reset();
}

void MainWindow::wireCommands() {
    connect(w_.addButton, &QPushButton::clicked, this, &MainWindow::chooseFilesToAdd);
    connect(w_.addFilesAction, &QAction::triggered, this, &MainWindow::chooseFilesToAdd);
    connect(w_.removeSelectedButton, &QPushButton::clicked, this, &MainWindow::removeSelected);
    connect(w_.removeSelectedAction, &QAction::triggered, this, &MainWindow::removeSelected);
    connect(w_.removeAllButton, &QPushButton::clicked, this, &MainWindow::removeAll);
    connect(w_.removeAllAction, &QAction::triggered, this, &MainWindow::removeAll);
    connect(w_.upButton, &QPushButton::clicked, this, [this] { moveSelected(true); });
    connect(w_.downButton, &QPushButton::clicked, this, [this] { moveSelected(false); });
    connect(w_.quitAction, &QAction::triggered, this, &MainWindow::quitProgram);

    connect(w_.list, &SourceListView::rowChosen, this, &MainWindow::rowChosen);
    connect(w_.list, &SourceListView::rowDoubleClicked, this, [this](int row) {
        clickedRow_ = row;
        playSource();
    });
    connect(w_.list, &SourceListView::menuRequested, this, &MainWindow::showListMenu);

    connect(w_.tree, &PresetTree::presetSelected, this, &MainWindow::presetSelected);
    connect(w_.changeSettingsButton, &QPushButton::clicked, this, [this] { openSettingsDialog(kSettingsFromButton); });
    connect(w_.currentPresetName, &QLabel::linkActivated, this, [this] { openSettingsDialog(kSettingsFromButton); });
    connect(w_.trimButton, &QPushButton::clicked, this, &MainWindow::openTrimDialog);
    updateTrimButton(false);

    connect(w_.startButton, &QPushButton::clicked, this, [this] { startConversion(false); });
    connect(w_.testButton, &QPushButton::clicked, this, [this] {
        TestEncodeDialog dialog(controller_->testEncodeSeconds, this);
        if (dialog.exec() != QDialog::Accepted) return;
        controller_->testEncodeSeconds = dialog.seconds();
        startConversion(true);
    });
    connect(w_.stopButton, &QPushButton::clicked, this, [this] { stopConversion(false); });
    connect(w_.startAction, &QAction::triggered, this, [this] { startConversion(false); });
    // Escape is easily pressed by mistake: from the keyboard or the menu a stop is always asked.
    connect(w_.stopAction, &QAction::triggered, this, [this] { stopConversion(true); });
    connect(w_.pauseButton, &QPushButton::clicked, this, [this] {
        controller_->paused() ? controller_->resume() : controller_->pause();
        w_.pauseButton->setText(text(controller_->paused() ? "계속" : "일시정지"));
        afterRunCall();
    });
    connect(w_.powerOffCheck, &QCheckBox::toggled, this, [this](bool on) { controller_->powerOffAfterRun = on; });
    connect(w_.exitCheck, &QCheckBox::toggled, this, [this](bool on) { controller_->exitAfterRun = on; });

    connect(w_.changeFolderButton, &QPushButton::clicked, this, &MainWindow::changeOutputFolder);
    connect(w_.openFolderButton, &QPushButton::clicked, this,
            [this] { openFolderOrSay(this, fromQt(w_.outputFolderEdit->text())); });
    connect(w_.sameFolderCheck, &QCheckBox::toggled, this, &MainWindow::sameFolderToggled);

    connect(w_.sourceDetailsButton, &QPushButton::clicked, this, &MainWindow::showSourceDetails);
    connect(w_.sourcePlayButton, &QPushButton::clicked, this, &MainWindow::playSource);
    connect(w_.outputDetailsButton, &QPushButton::clicked, this, &MainWindow::showOutputDetails);
    connect(w_.outputPlayButton, &QPushButton::clicked, this, &MainWindow::playOutput);

    connect(w_.optionsButton, &QPushButton::clicked, this, &MainWindow::openOptions);
    connect(w_.optionsAction, &QAction::triggered, this, &MainWindow::openOptions);
    connect(w_.quickButton, &QPushButton::clicked, this, [this] { w_.presetArea->setCurrentWidget(w_.tree); });
    connect(w_.favouritesButton, &QPushButton::clicked, this,
            [this] { w_.presetArea->setCurrentWidget(w_.favourites); });
    connect(w_.helpButton, &QPushButton::clicked, this, [this] { openSupportPage("torvane_help"); });
    connect(w_.helpAction, &QAction::triggered, this, [this] { openSupportPage("torvane_help"); });
    connect(w_.requestButton, &QPushButton::clicked, this, [this] { openSupportPage("torvane_request"); });
    connect(w_.requestAction, &QAction::triggered, this, [this] { openSupportPage("torvane_request"); });
    connect(w_.updateButton, &QPushButton::clicked, this, [this] { updateChecker_->checkForUpdate(false); });
    connect(w_.updateAction, &QAction::triggered, this, [this] { updateChecker_->checkForUpdate(false); });
    connect(w_.aboutAction, &QAction::triggered, this,
            [this] { AboutDialog(*services_.options, toQt(services_.programFolder), this).exec(); });
    // The installer replaces this program: it ends as "종료" would.
    connect(updateChecker_.get(), &UpdateChecker::installerOpened, this, &MainWindow::quitProgram);
}

bool MainWindow::trayAvailable() const {
    return services_.systemTrayAvailable ? services_.systemTrayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::createTray() {
    if (tray_ != nullptr || !trayAvailable()) return;
    tray_ = new QSystemTrayIcon(appIcon(), this);
    tray_->setToolTip(text("토르베인"));
    auto* menu = new QMenu(this);
    connect(menu->addAction(text("토르베인 열기")), &QAction::triggered, this, &MainWindow::showAndRaise);
    menu->addSeparator();
    connect(menu->addAction(text("종료")), &QAction::triggered, this, &MainWindow::quitProgram);
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this, [menu](QSystemTrayIcon::ActivationReason reason) {
        // A left click opens the same menu a right click does.
        if (reason == QSystemTrayIcon::Trigger) menu->popup(QCursor::pos() - QPoint(10, 10));
    });
    tray_->show();
}

void MainWindow::loadLastPreset() {
    const std::string fallback = defaultProfileOf(services_.programFolder);
    const std::string remembered = services_.options->getOption("lastpreset", fallback);
    // A remembered preset that has since been deleted must not leave the settings empty.
    if (!currentSettings_.loadProfile(remembered)) currentSettings_.loadProfile(fallback);
}

void MainWindow::chooseStartingOutputFolder() {
    std::string fallback = defaultOutputFolder();
    makeFolders(fallback);
    if (!isDirectory(fallback)) fallback = isDirectory(documentsFolder()) ? documentsFolder() : std::string();
    std::string folder = services_.options->getOption("lastoutdir", fallback);
    if (!isDirectory(folder)) folder = fallback;
    if (isDirectory(folder)) w_.outputFolderEdit->setText(toQt(folder));
}

bool MainWindow::probing() const {
    return prober_->busy();
}

void MainWindow::addFiles(const QStringList& paths) {
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths) files.push_back(fromQt(path));
    prober_->probe(std::move(files));
}

void MainWindow::chooseFilesToAdd() {
    const QString start = toQt(services_.options->lastOpenFolder());
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, text("원본 동영상을 선택해주세요."), start, text(kMediaFilter));
    if (!paths.isEmpty()) addFiles(paths);
}

void MainWindow::acceptProbed(const std::string& path, ProbedSource probed) {
    if (probed.verdict == ProbedSource::Verdict::NotMedia) {
        refusedNotMedia_ << toQt(fileNamePart(path));
        return;
    }
    if (!acceptProbedSource(list_, path, std::move(probed), *observer_, nullptr)) return;
    if (const auto restored = restoring_.find(path); restored != restoring_.end()) {
        applyJournalEntry(restored->second, list_, list_.rowCount() - 1);
        restoring_.erase(restored);
    }
    w_.list->appendRow();
    lastAddedRow_ = static_cast<int>(list_.rowCount()) - 1;
    // Remembered once per folder rather than once per file: hundreds of files from one folder
    // need not rewrite the store hundreds of times.
    const std::string folder(parentFolder(path));
    if (!folder.empty() && folder != lastRememberedFolder_) {
        services_.options->setLastOpenFolder(folder);
        lastRememberedFolder_ = folder;
    }
}

const SourceItem* MainWindow::clickedItem() const {
    return clickedRow_ < 0 ? nullptr : list_.item(static_cast<std::size_t>(clickedRow_));
}

void MainWindow::rowChosen(int row) {
    clickedRow_ = row;
    const SourceItem* item = clickedItem();
    w_.sourceFile->setText(item ? toQt(item->fileLine) : QString());
    w_.sourceVideo->setText(item ? toQt(item->videoLine) : QString());
    w_.sourceAudio->setText(item ? toQt(item->audioLine) : QString());
    w_.sourceSubtitle->setText(item ? toQt(item->subtitleLine) : QString());
    updateTrimButton(controller_->runActive());
    refreshSummary();
}

std::unique_ptr<QMenu> MainWindow::makeListMenu(int row) {
    if (row >= 0) clickedRow_ = row;
    const SourceItem* item = row >= 0 ? list_.item(static_cast<std::size_t>(row)) : nullptr;
    const bool outputExists = item != nullptr && !item->outputPath.empty() && isFileNotFolder(item->outputPath);
    const bool running = controller_->runActive();

    auto menu = std::make_unique<QMenu>(text("리스트뷰 메뉴"), this);
    QAction* sourceDetails = menu->addAction(text("원본 상세정보\t(&D)"), this, &MainWindow::showSourceDetails);
    QAction* playSourceAction = menu->addAction(text("원본 파일 플레이\t(&P)"), this, &MainWindow::playSource);
    menu->addSeparator();
    QAction* outputDetails = menu->addAction(text("생성된 파일 상세정보\t(&R)"), this, &MainWindow::showOutputDetails);
    QAction* playOutputAction = menu->addAction(text("생성된 파일 플레이\t(&O)"), this, &MainWindow::playOutput);
    menu->addSeparator();
    menu->addAction(text("파일 추가\t(&A)"), this, &MainWindow::chooseFilesToAdd);
    QAction* removeSelectedAction = menu->addAction(text("선택 목록제거\t(&D)"), this, &MainWindow::removeSelected);
    QAction* removeAllAction = menu->addAction(text("전체 목록제거\t(&E)"), this, &MainWindow::removeAll);
    menu->addSeparator();
    QAction* openFolderAction = menu->addAction(text("원본 폴더 열기\t(&S)"), this, &MainWindow::openSourceFolder);
    // The encoder's whole output of the row's last conversion, for a failure the reason does
    // not explain.
    const RunItemResult* result =
        row >= 0 ? controller_->resultOf(list_.keyOfRow(static_cast<std::size_t>(row))) : nullptr;
    const QString logPath = result != nullptr && isFileNotFolder(result->logPath) ? toQt(result->logPath) : QString();
    QAction* logAction = menu->addAction(text("로그 보기\t(&L)"), this, [logPath] { openWithDesktop(logPath); });
    logAction->setEnabled(!logPath.isEmpty());

    sourceDetails->setEnabled(item != nullptr);
    playSourceAction->setEnabled(item != nullptr);
    openFolderAction->setEnabled(item != nullptr);
    outputDetails->setEnabled(outputExists);
    playOutputAction->setEnabled(outputExists);
    // Rows removed under a running queue would shift the rows it is converting.
    removeSelectedAction->setEnabled(!running);
    removeAllAction->setEnabled(!running);
    return menu;
}

void MainWindow::showListMenu(int row, QPoint globalPosition) {
    makeListMenu(row)->exec(globalPosition);
}

void MainWindow::showAllRowsKeepingClicked() {
    w_.list->showAllRows();
    rowChosen(clickedRow_);
}

void MainWindow::removeSelected() {
    if (controller_->runActive()) return;
    w_.list->storeSelection();
    const std::size_t rowsBefore = list_.rowCount();
    const int clicked = removeSelectedSources(list_, *observer_, clickedRow_);
    if (list_.rowCount() == rowsBefore) return;
    clickedRow_ = clicked;
    if (clickedRow_ >= 0) list_.selectOnly(static_cast<std::size_t>(clickedRow_));
    showAllRowsKeepingClicked();
}

void MainWindow::removeAll() {
    if (controller_->runActive()) return;
    if (!removeAllSources(list_, *observer_)) return;
    clickedRow_ = -1;
    observer_->showOverallProgress("0%", 0);
    showAllRowsKeepingClicked();
}

void MainWindow::moveSelected(bool up) {
    if (controller_->runActive()) return;
    w_.list->storeSelection();
    if (!list_.anySelected()) {
        observer_->showMessage("알림", "이동할 항목을 먼저 선택하십시요", MessageIcon::Warning);
        return;
    }
    if (up) {
        list_.moveSelectedUp();
    } else {
        list_.moveSelectedDown();
    }
    w_.list->showAllRows();
    // The clicked row follows the first selected row, where the moved block now starts.
    for (std::size_t row = 0; row < list_.rowCount(); ++row) {
        if (list_.isSelected(row)) {
            clickedRow_ = static_cast<int>(row);
            break;
        }
    }
    rowChosen(clickedRow_);
}

void MainWindow::presetSelected(const QString& profilePath) {
    // The run builds each item's command from the current settings: they stay as they are.
    if (controller_->runActive()) return;
    EncodeSettings chosen;
    if (!chosen.loadProfile(fromQt(profilePath))) {
        statusBar()->showMessage(text("프리셋 파일을 읽을 수 없습니다: ") + profilePath);
        return;
    }
    currentSettings_.assignSettings(chosen);
    refreshSummary();
    if (services_.options->getOption("viewsettingonpreset", "y") == "y") openSettingsDialog(kSettingsOnPreset);
}

void MainWindow::openSettingsDialog(int dialogMode) {
    const SettingsDialogContext context{services_.catalogue, services_.options,
                                        startupPlaceholderValues(services_.programFolder)};
    runSettingsDialog(this, context, currentSettings_, dialogSettings_, dialogMode);
    refreshSummary();
}

void MainWindow::showPresetName() {
    // "기기설정 / 스마트폰 태블릿 / 아이폰 작은 용량 (MP4 540p)": the groups, then the preset's name.
    QStringList parts;
    for (const std::string& group :
         presetGroupsOf(presetFolderOf(services_.programFolder), currentSettings_.profilePath)) {
        parts << toQt(group);
    }
    parts << toQt(currentSettings_.info_subject.empty() ? std::string("기본") : currentSettings_.info_subject);
    // The name is the link that opens the settings; what a click does is said on hovering.
    w_.currentPresetName->setText(QStringLiteral("<a href=\"settings\">%1</a>").arg(parts.join(" / ").toHtmlEscaped()));
    w_.currentPresetName->setToolTip(text("클릭하면 설정값을 불러옵니다"));
}

void MainWindow::refreshSummary() {
    // Called whenever the list, a row or the settings change: the journal follows them.
    recordJournal();
    showPresetName();
    const SourceItem* item = clickedItem();
    // Why the row's last conversion failed or stopped, where it can be read and copied.
    const QString result = item != nullptr ? toQt(list_.resultText(static_cast<std::size_t>(clickedRow_))) : QString();
    w_.outputResult->setText(result);
    w_.outputResult->setVisible(!result.isEmpty());
    w_.outputResultLabel->setVisible(!result.isEmpty());
    if (item == nullptr) {
        for (QLabel* row : {w_.outputFile, w_.outputVideo, w_.outputAudio, w_.outputOther}) row->clear();
        w_.outputOther->hide();
        w_.outputOtherLabel->hide();
        w_.outputDetailsButton->setEnabled(false);
        w_.outputPlayButton->setEnabled(false);
        return;
    }
    const SettingsSummary summary = summarizeSettings(currentSettings_, *services_.catalogue, *item,
                                                      startupPlaceholderValues(services_.programFolder));
    w_.outputFile->setText(toQt(summary.file));
    w_.outputVideo->setText(toQt(summary.video));
    w_.outputAudio->setText(toQt(summary.audio));
    w_.outputOther->setText(toQt(summary.other));
    w_.outputOther->setVisible(!summary.other.empty());
    w_.outputOtherLabel->setVisible(!summary.other.empty());
    const bool converted = !item->outputPath.empty() && isFileNotFolder(item->outputPath);
    w_.outputDetailsButton->setEnabled(converted);
    w_.outputPlayButton->setEnabled(converted);
}

void MainWindow::startConversion(bool testRun) {
    if (controller_->runActive()) return;
    if (list_.rowCount() > 0 && services_.options->getOption("settingbeforestart", "n") == "y") {
        const SettingsDialogContext context{services_.catalogue, services_.options,
                                            startupPlaceholderValues(services_.programFolder)};
        if (runSettingsDialog(this, context, currentSettings_, dialogSettings_, kSettingsBeforeStart) !=
            kSettingsBeforeStart) {
            return;
        }
        refreshSummary();
    }
    OutputFolderChoice output;
    output.folder = fromQt(w_.outputFolderEdit->text());
    output.sameFolderAsSource = w_.sameFolderCheck->isChecked();
    // The encoders write into the folder but do not make it; it may have been removed since.
    if (!output.sameFolderAsSource && !output.folder.empty()) makeFolders(output.folder);
    controller_->setOutputFolder(output);
    controller_->powerOffAfterRun = w_.powerOffCheck->isChecked();
    controller_->exitAfterRun = w_.exitCheck->isChecked();
    // Converting a finished file again gives a second copy ("name(1).mp4"): skipping is the
    // default, and converting everything again is the user's explicit choice.
    const bool skipFinished =
        !testRun && controller_->finishedRowCount() > 0 && observer_->askYesNo("질문", "완료된 파일은 건너뛸까요?");
    testRunUnderWay_ = testRun;
    awaitingOutcome_ = controller_->startRun(testRun, skipFinished);
    recordJournal();
    afterRunCall();
}

void MainWindow::stopConversion(bool alwaysAsk) {
    // "변환 중지 중..." greys the button and Qt moves its focus on: a stop from the focused
    // button hands the focus to "변환 시작" once the run is over.
    const bool stopFocused = focusWidget() == w_.stopButton;
    controller_->requestStop(alwaysAsk);
    afterRunCall();
    if (stopFocused && !controller_->runActive()) w_.startButton->setFocus(Qt::OtherFocusReason);
}

void MainWindow::afterRunCall() {
    refreshSummary();
    if (!awaitingOutcome_ || controller_->runActive() || !controller_->outcome()) return;
    awaitingOutcome_ = false;
    if (journal_ && !testRunUnderWay_) journal_->runOver();
    const RunOutcome& outcome = *controller_->outcome();
    // Nobody sees the window's end of the run: the desktop says it instead.
    if (!isVisible() || isMinimized()) runNotifier_->notifyRunEnded(outcome.succeeded, outcome.failed, outcome.stopped);
    const CompletionAction action = outcome.action;
    // Carried out once the run's own call has returned, so a dialog's event loop never runs
    // inside the run's processing.
    QTimer::singleShot(0, this, [this, action] {
        completeRun(action);
        emit runFinished();
    });
}

void MainWindow::completeRun(CompletionAction action) {
    switch (action) {
        case CompletionAction::PowerOff: {
            ShutdownCountdown countdown(kShutdownSeconds, this);
            if (countdown.exec() == QDialog::Accepted) services_.power->powerAction("shutdown");
            break;
        }
        case CompletionAction::ExitProgram:
            quitProgram();
            break;
        case CompletionAction::FinishDialog: {
            const int succeeded = controller_->outcome() ? controller_->outcome()->succeeded : 0;
            FinishDialog dialog(finishFolderTarget(controller_->lastOutputPath(), list_.rowCount(),
                                                   fromQt(w_.outputFolderEdit->text())),
                                failedFiles(), succeeded, this);
            dialog.exec();
            break;
        }
        case CompletionAction::None:
            break;
    }
}

std::vector<FailedFile> MainWindow::failedFiles() const {
    std::vector<FailedFile> failed;
    for (const RunItemResult& result : controller_->results()) {
        if (result.state != RunItemResult::State::Failed) continue;
        const SourceItem* item = list_.findItem(result.key);
        failed.push_back({item != nullptr ? std::string(fileNamePart(item->sourcePath)) : result.key, result.reason});
    }
    return failed;
}

void MainWindow::setRunningUi(bool running) {
    // No suspend in the middle of a run; the lock goes with its end, a stop included.
    if (running) {
        sleepInhibitor_->hold();
    } else {
        sleepInhibitor_->release();
    }
    for (QPushButton* button : {w_.upButton, w_.downButton, w_.removeSelectedButton, w_.removeAllButton}) {
        button->setEnabled(!running);
    }
    // Space on "변환 시작" and Space again stops: the focus goes over to the button that took
    // the pressed one's place, rather than on to the next control.
    QWidget* focused = QApplication::focusWidget();
    const bool runButtonFocused =
        focused == w_.startButton || focused == w_.testButton || focused == w_.stopButton || focused == w_.pauseButton;
    w_.startAction->setEnabled(!running);
    w_.stopAction->setEnabled(running);
    w_.testButton->setEnabled(!running);
    w_.testButton->setVisible(!running);
    w_.startButton->setEnabled(!running);
    w_.startButton->setVisible(!running);
    w_.stopButton->setText(text("변환 중지"));
    w_.stopButton->setEnabled(running);
    w_.stopButton->setVisible(running);
    w_.pauseButton->setText(text("일시정지"));
    w_.pauseButton->setEnabled(running);
    w_.pauseButton->setVisible(running);
    w_.changeSettingsButton->setEnabled(!running);
    updateTrimButton(running);
    if (runButtonFocused) (running ? w_.stopButton : w_.startButton)->setFocus(Qt::TabFocusReason);

    // The side panel takes the preset tree's place while a run goes on.
    const bool sidePanel = running && sidePanel_ != nullptr;
    w_.runPanel->setEnabled(sidePanel);
    w_.runPanel->setVisible(sidePanel);
    w_.presetArea->setVisible(!sidePanel);
    w_.tree->setEnabled(!sidePanel);
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void MainWindow::changeOutputFolder() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, text("출력될 폴더를 지정해주세요."), w_.outputFolderEdit->text());
    if (chosen.isEmpty()) return;
    services_.options->setOption("lastoutdir", fromQt(chosen));
    w_.outputFolderEdit->setText(chosen);
}

void MainWindow::sameFolderToggled(bool same) {
    w_.outputFolderEdit->setVisible(!same);
    w_.changeFolderButton->setVisible(!same);
    w_.openFolderButton->setVisible(!same);
    w_.sameFolderNote->setVisible(same);
}

void MainWindow::playSource() {
    const SourceItem* item = clickedItem();
    if (item == nullptr || item->sourcePath.empty() || !isFileNotFolder(item->sourcePath)) return;
    play(item->sourcePath, !item->media.videoWidth.empty() && !item->media.videoHeight.empty());
}

void MainWindow::playOutput() {
    const SourceItem* item = clickedItem();
    if (item == nullptr || item->outputPath.empty() || !isFileNotFolder(item->outputPath)) return;
    MediaSummary output;
    queryMediaSummary(*services_.library, item->outputPath, output);
    play(item->outputPath, !output.videoWidth.empty() && !output.videoHeight.empty());
}

void MainWindow::play(const std::string& path, bool hasPicture) {
    if (hasPicture) {
        playFile(services_.programFolder, path);
        return;
    }
    // One sound at a time: the window of the last file plays the next one.
    if (audioPlayer_ == nullptr) {
        std::string player = findProgram(services_.programFolder, "mplayer");
        // A missing player is named all the same: the window says it cannot be started.
        if (player.empty()) player = "mplayer";
        audioPlayer_ = new AudioPlayerWindow(toQt(player), this);
    }
    audioPlayer_->play(toQt(path));
    audioPlayer_->show();
    audioPlayer_->raise();
    audioPlayer_->activateWindow();
}

void MainWindow::showSourceDetails() {
    const SourceItem* item = clickedItem();
    if (item == nullptr) return;
    MediaDetailDialog dialog(*services_.library, *services_.options, keptDetails_, item->sourcePath, this);
    dialog.exec();
}

void MainWindow::showOutputDetails() {
    const SourceItem* item = clickedItem();
    if (item == nullptr || item->outputPath.empty() || !isFileNotFolder(item->outputPath)) return;
    MediaDetailDialog dialog(*services_.library, *services_.options, keptDetails_, item->outputPath, this);
    dialog.exec();
}

void MainWindow::openSourceFolder() {
    const SourceItem* item = clickedItem();
    if (item != nullptr) openFolderOrSay(this, std::string(parentFolder(item->sourcePath)));
}

void MainWindow::updateTrimButton(bool running) {
    const bool oneFile = list_.rowCount() == 1 && clickedItem() != nullptr;
    w_.trimButton->setEnabled(!running && oneFile);
    // A greyed button says what it waits for.
    w_.trimButton->setToolTip(oneFile ? QStringLiteral("목록에 파일이 하나일 때, 변환할 구간과 소리를 정합니다")
                                      : QStringLiteral("파일 하나를 선택하세요. 구간설정은 목록에 파일이 하나일 "
                                                       "때 쓸 수 있습니다"));
}

void MainWindow::openTrimDialog() {
    if (controller_->runActive() || list_.rowCount() != 1 || clickedItem() == nullptr) return;
    const auto row = static_cast<std::size_t>(clickedRow_);
    const std::string key = list_.keyOfRow(row);
    std::string player = findProgram(services_.programFolder, "mplayer");
    // A missing player is named all the same: it fails to start, and the panel stays empty.
    if (player.empty()) player = "mplayer";
    TrimDialog dialog(*list_.item(row), player, this);
    if (dialog.exec() != TrimDialog::kConfirmed) return;
    // Files still being probed may have been added meanwhile; the row itself stays.
    SourceItem* item = list_.item(row);
    if (item == nullptr || item->itemId != key) return;
    item->rangeStartSeconds = dialog.range().startSeconds;
    item->rangeEndSeconds = dialog.range().endSeconds;
    item->keepSound = dialog.keepSound();
    w_.list->storeSelection();
    showAllRowsKeepingClicked();
}

void MainWindow::openOptions() {
    OptionsDialog dialog(*services_.options, services_.programFolder, this);
    dialog.exec();
}

void MainWindow::showAndRaise() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::rememberPlace() {
    // A window never shown (a test, an update that quit at once) has no place worth keeping.
    if (!isVisible()) return;
    services_.options->setOption("windowplace", windowPlaceText(currentPlace(*this)));
}

void MainWindow::quitProgram() {
    quitting_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!quitting_) {
        // Without a tray nothing could bring a hidden window back: closing then ends the
        // program, asking first during a run as any close does.
        if (services_.options->getOption("closetotray", "n") == "y" && trayAvailable()) {
            // A tray that came up after the start gets its icon now.
            createTray();
            rememberPlace();
            hide();
            event->ignore();
            return;
        }
        if (controller_->runActive() && !observer_->askYesNo("질문", kCloseWhileConverting)) {
            event->ignore();
            return;
        }
    }
    // The controller quits a running encoder when the window is destroyed. The list was closed
    // on purpose: nothing is offered back at the next start.
    if (journal_) journal_->forget();
    rememberPlace();
    if (tray_ != nullptr) tray_->hide();
    event->accept();
    emit closed();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    addFiles(paths);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // The window can be dragged by its background, as by its title bar.
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) windowHandle()->startSystemMove();
    QMainWindow::mousePressEvent(event);
}

}  // namespace torvane::app
