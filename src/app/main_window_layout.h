#pragma once

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QWidget;

namespace torvane {
class SourceList;
}

namespace torvane::app {

class PresetTree;
class SourceListView;

// Every control of the main window, made and laid out once; the window wires them.
// The height of the notice area, which the window loses when no notice panel is shown.
inline constexpr int kNoticeAreaHeight = 98;

struct MainWindowWidgets {
    QLabel* usageLine = nullptr;
    QLabel* version = nullptr;
    QPushButton* optionsButton = nullptr;
    QPushButton* helpButton = nullptr;
    QPushButton* requestButton = nullptr;
    QPushButton* updateButton = nullptr;

    SourceListView* list = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* upButton = nullptr;
    QPushButton* downButton = nullptr;
    QPushButton* removeSelectedButton = nullptr;
    QPushButton* removeAllButton = nullptr;
    QPushButton* trimButton = nullptr;
    QPushButton* changeSettingsButton = nullptr;

    // The preset area: the tree, the favourites list that may take its place, and the panel the
    // run may show over both.
    QStackedWidget* presetArea = nullptr;
    PresetTree* tree = nullptr;
    QListWidget* favourites = nullptr;
    QWidget* runPanel = nullptr;
    QPushButton* quickButton = nullptr;
    QPushButton* favouritesButton = nullptr;

    QLabel* sourceFile = nullptr;
    QLabel* sourceVideo = nullptr;
    QLabel* sourceAudio = nullptr;
    QLabel* sourceSubtitle = nullptr;
    QPushButton* sourceDetailsButton = nullptr;
    QPushButton* sourcePlayButton = nullptr;

    QLabel* currentPresetName = nullptr;
    QLabel* outputFile = nullptr;
    QLabel* outputVideo = nullptr;
    QLabel* outputAudio = nullptr;
    QLabel* outputOther = nullptr;
    QWidget* outputOtherLabel = nullptr;
    // "결과": why the clicked row's last conversion failed or stopped; hidden otherwise.
    QLabel* outputResult = nullptr;
    QWidget* outputResultLabel = nullptr;
    QPushButton* outputDetailsButton = nullptr;
    QPushButton* outputPlayButton = nullptr;

    QProgressBar* currentBar = nullptr;
    QLabel* currentPercent = nullptr;
    QProgressBar* overallBar = nullptr;
    QLabel* overallPercent = nullptr;
    QLabel* speed = nullptr;
    QLabel* remainingTime = nullptr;

    QCheckBox* powerOffCheck = nullptr;
    QCheckBox* exitCheck = nullptr;

    QLineEdit* outputFolderEdit = nullptr;
    QPushButton* changeFolderButton = nullptr;
    QPushButton* openFolderButton = nullptr;
    QCheckBox* sameFolderCheck = nullptr;
    QLabel* sameFolderNote = nullptr;

    QPushButton* testButton = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* pauseButton = nullptr;  // "일시정지" / "계속", while a run goes on

    // The notice area along the bottom, shown only with a notice panel in it.
    QWidget* notice = nullptr;

    // Menu commands.
    QAction* addFilesAction = nullptr;
    QAction* removeSelectedAction = nullptr;
    QAction* removeAllAction = nullptr;
    QAction* startAction = nullptr;
    QAction* stopAction = nullptr;
    QAction* quitAction = nullptr;
    QAction* optionsAction = nullptr;
    QAction* helpAction = nullptr;
    QAction* requestAction = nullptr;
    QAction* updateAction = nullptr;
    QAction* aboutAction = nullptr;
};

// Builds the window's menus, controls and status bar into window.
MainWindowWidgets buildMainWindowLayout(QMainWindow& window, SourceList& list);

}  // namespace torvane::app
