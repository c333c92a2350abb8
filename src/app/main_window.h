#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/audio_player_window.h"
#include "app/finish_dialog.h"
#include "app/main_window_layout.h"
#include "media/media_summary.h"
#include "run/add_source_file.h"
#include "run/queue_journal.h"
#include "run/source_list.h"
#include "settings/encode_settings.h"

class QMenu;
class QSystemTrayIcon;

namespace torvane {
class FormatCatalogue;
class MediaInfoLibrary;
class OptionStore;
class QueueController;
class QueueJournalKeeper;
enum class CompletionAction;
}  // namespace torvane

namespace torvane::app {

class PowerControl;
class QtRunObserver;
class RunNotifier;
class SleepInhibitor;
class SourceProber;
class UpdateChecker;
class WebPanel;

// What the window is given by the program: it keeps none of these alive.
struct AppServices {
    std::string programFolder;
    const FormatCatalogue* catalogue = nullptr;
    const OptionStore* options = nullptr;
    MediaInfoLibrary* library = nullptr;
    PowerControl* power = nullptr;
    // The update check one second after the window opens; the program turns it on, tests do not.
    bool automaticUpdateCheck = false;
    // The queue journal: what a crash leaves is offered back at the next start. The program
    // keeps one; a test keeps one only where it means to.
    bool keepQueueJournal = false;
    // Whether the desktop shows tray icons; empty: ask Qt (QSystemTrayIcon). Tests decide.
    std::function<bool()> systemTrayAvailable = nullptr;
};

// The main window: the source list, the preset tree, the two facts panels, the progress area
// and every command. It owns the list, the current settings and the run.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(AppServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Files from the add dialog, a drop or the command line: probed in order off the UI thread,
    // then appended.
    void addFiles(const QStringList& paths);
    // Brings the window back from the tray or from behind other windows.
    void showAndRaise();
    // "종료": ends the program without a question, stopping a run on the way.
    void quitProgram();

    // For the tests and the screenshot script.
    MainWindowWidgets& widgets() { return w_; }
    SourceList& sourceList() { return list_; }
    UpdateChecker& updateChecker() { return *updateChecker_; }
    WebPanel* noticePanel() const { return noticePanel_; }
    WebPanel* sidePanel() const { return sidePanel_; }
    EncodeSettings& currentSettings() { return currentSettings_; }
    QueueController& controller() { return *controller_; }
    int clickedRow() const { return clickedRow_; }
    SleepInhibitor& sleepInhibitor() { return *sleepInhibitor_; }
    // The player window of the last file without a picture played; nullptr when closed.
    AudioPlayerWindow* audioPlayer() const { return audioPlayer_; }
    // The list's context menu for a row (-1: below the last row), as a right click shows it.
    std::unique_ptr<QMenu> makeListMenu(int row);
    bool probing() const;

signals:
    // Every file given to addFiles so far has been probed and accepted or refused.
    void filesAdded();
    // The window closed for good (not hidden to the tray): the program ends.
    void closed();
    // A run ended and its completion action (if any) has been carried out.
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void wireCommands();
    void createTray();
    // The window's place and size, for the next start.
    void rememberPlace();
    void loadLastPreset();
    void chooseStartingOutputFolder();

    void chooseFilesToAdd();
    void acceptProbed(const std::string& path, ProbedSource probed);
    void rowChosen(int row);
    void showListMenu(int row, QPoint globalPosition);
    void removeSelected();
    void removeAll();
    void moveSelected(bool up);
    void showAllRowsKeepingClicked();

    void presetSelected(const QString& profilePath);
    void openSettingsDialog(int dialogMode);
    void refreshSummary();
    void showPresetName();

    void startConversion(bool testRun);
    // "변환 중지", asked first with alwaysAsk or where the options say so.
    void stopConversion(bool alwaysAsk);
    void afterRunCall();
    void completeRun(CompletionAction action);
    // The failed files of the last run with their reasons, for the finish dialog.
    std::vector<FailedFile> failedFiles() const;
    void setRunningUi(bool running);
    void openTrimDialog();
    // "구간설정" works on the one row of a list of one, outside a run.
    void updateTrimButton(bool running);
    void createWebPanels();
    // Whether the screen has room for the notice area below every control.
    bool noticeFits() const;
    void openSupportPage(const char* menu);

    void changeOutputFolder();
    void sameFolderToggled(bool same);
    void playSource();
    void playOutput();
    // Files with a picture play in mplayer's own window, the others in ours.
    void play(const std::string& path, bool hasPicture);
    bool trayAvailable() const;
    void showSourceDetails();
    void showOutputDetails();
    void openSourceFolder();
    void openOptions();

    const SourceItem* clickedItem() const;
    // The list a crashed run left, offered back once the window is up.
    void offerEarlierList();
    // What the run has done so far, into the queue journal.
    void recordJournal();

    AppServices services_;
    SourceList list_;
    EncodeSettings currentSettings_;
    EncodeSettings dialogSettings_;
    MainWindowWidgets w_;
    std::unique_ptr<QtRunObserver> observer_;
    std::unique_ptr<QueueController> controller_;
    std::unique_ptr<SourceProber> prober_;
    std::unique_ptr<UpdateChecker> updateChecker_;
    // Read once at start: an update check that changes them takes effect at the next start.
    WebPanel* noticePanel_ = nullptr;
    WebPanel* sidePanel_ = nullptr;
    MediaSummary keptDetails_;
    QSystemTrayIcon* tray_ = nullptr;
    SleepInhibitor* sleepInhibitor_ = nullptr;
    RunNotifier* runNotifier_ = nullptr;
    QPointer<AudioPlayerWindow> audioPlayer_;
    int clickedRow_ = -1;
    int lastAddedRow_ = -1;  // the newest row of the batch being accepted
    bool awaitingOutcome_ = false;
    bool quitting_ = false;
    bool testRunUnderWay_ = false;  // the run started last was a test encode
    std::string lastRememberedFolder_;
    // Names of the files of this addition refused as not media: one message once all are probed.
    QStringList refusedNotMedia_;
    std::unique_ptr<QueueJournalKeeper> journal_;
    // Sources of a restored list still being probed, with what the journal held for each.
    std::map<std::string, JournalEntry> restoring_;
};

}  // namespace torvane::app
