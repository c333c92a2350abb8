#include "app/main_window_layout.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QVBoxLayout>

#include "app/preset_tree.h"
#include "app/qt_text.h"
#include "app/source_list_view.h"
#include "update/program_version.h"

namespace torvane::app {
namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QPushButton* button(const char* label, const char* name) {
    auto* made = new QPushButton(text(label));
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

// A value beside its row label in a facts panel: two lines, selectable, never cut.
QLabel* factValue(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    label->setMinimumWidth(200);
    label->setMinimumHeight(label->fontMetrics().lineSpacing() * 2);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A label holding one link that Tab reaches as a whole and Enter or Space opens, as a button;
// Qt's own keyboard links would take two Tabs, one for the label and one for its link.
class KeyboardLink : public QLabel {
public:
    KeyboardLink() {
        setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            emit linkActivated(QStringLiteral("settings"));
            return;
        }
        QLabel::keyPressEvent(event);
    }
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (!hasFocus()) return;
        QStylePainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
};

void addFactRow(QGridLayout* grid, int row, const char* caption, QLabel* value) {
    auto* label = new QLabel(text(caption));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(label, row, 0);
    grid->addWidget(value, row, 1);
}

void buildMenus(QMainWindow& window, MainWindowWidgets& w) {
    QMenu* file = window.menuBar()->addMenu(text("파일(&F)"));
    w.addFilesAction = file->addAction(text("파일 추가\t(&A)"));
    file->addSeparator();
    w.removeSelectedAction = file->addAction(text("선택 제거\t(&D)"));
    w.removeAllAction = file->addAction(text("전체 목록제거\t(&C)"));
    file->addSeparator();
    w.startAction = file->addAction(text("변환 시작\tF5"));
    w.stopAction = file->addAction(text("변환 중지\tEsc"));
    w.stopAction->setEnabled(false);
    file->addSeparator();
    w.quitAction = file->addAction(text("종료\t(&X)"));

    // The menu's keys work wherever the focus is in the window.
    w.addFilesAction->setShortcuts({QKeySequence(Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_O)});
    w.removeSelectedAction->setShortcut(QKeySequence(Qt::Key_Delete));
    w.startAction->setShortcuts(
        {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    w.stopAction->setShortcut(QKeySequence(Qt::Key_Escape));

    QMenu* help = window.menuBar()->addMenu(text("도움(&H)"));
    w.optionsAction = help->addAction(text("환경설정\t(&C)"));
    w.helpAction = help->addAction(text("도움말\t(&D)"));
    w.requestAction = help->addAction(text("변환요청\t(&R)"));
    help->addSeparator();
    w.updateAction = help->addAction(text("업데이트\t(&U)"));
    w.aboutAction = help->addAction(text("프로그램 안내\t(&A)"));
}

QLayout* buildTopRow(MainWindowWidgets& w) {
    auto* row = new QHBoxLayout;
    w.usageLine = new QLabel(
        text("[사용법] 1. 변환할 파일들 추가   2. 변환설정/기기설정 선택   3. 설정값 변경   4. 인코딩 시작 클릭"));
    w.version = new QLabel(QStringLiteral("Ver ") + toQt(kProgramVersionShortText));
    w.version->setObjectName(QStringLiteral("version"));
    w.optionsButton = button("환경설정", "optionsButton");
    w.helpButton = button("도움말", "helpButton");
    w.requestButton = button("변환요청", "requestButton");
    w.updateButton = button("업데이트", "updateButton");
    row->addWidget(w.usageLine, 1);
    row->addWidget(w.version);
    row->addSpacing(12);
    for (QPushButton* top : {w.optionsButton, w.helpButton, w.requestButton, w.updateButton}) row->addWidget(top);
    return row;
}

QWidget* buildListColumn(MainWindowWidgets& w, SourceList& list) {
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    w.list = new SourceListView(list);
    w.list->setObjectName(QStringLiteral("sourceList"));
    layout->addWidget(w.list, 1);

    auto* buttons = new QHBoxLayout;
    w.addButton = button("파일 추가", "addButton");
    w.upButton = button("▲", "upButton");
    w.downButton = button("▼", "downButton");
    w.removeSelectedButton = button("선택제거", "removeSelectedButton");
    w.removeAllButton = button("전체제거", "removeAllButton");
    w.trimButton = button("구간설정", "trimButton");
    w.trimButton->setToolTip(QStringLiteral("목록에 파일이 하나일 때, 변환할 구간과 소리를 정합니다"));
    w.changeSettingsButton = button("현재 설정값 변경 ▶", "changeSettingsButton");
    for (QPushButton* b :
         {w.addButton, w.upButton, w.downButton, w.removeSelectedButton, w.removeAllButton, w.trimButton}) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    buttons->addWidget(w.changeSettingsButton);
    layout->addLayout(buttons);
    return column;
}

QWidget* buildPresetColumn(MainWindowWidgets& w) {
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* header = new QHBoxLayout;
    header->addWidget(new QLabel(text("변환설정 / 기기설정")), 1);
    w.quickButton = button("빠른설정", "quickButton");
    w.favouritesButton = button("즐겨찾기", "favouritesButton");
    w.quickButton->hide();
    w.favouritesButton->hide();
    header->addWidget(w.quickButton);
    header->addWidget(w.favouritesButton);
    layout->addLayout(header);

    w.presetArea = new QStackedWidget;
    w.tree = new PresetTree;
    w.tree->setObjectName(QStringLiteral("presetTree"));
    w.favourites = new QListWidget;
    w.favourites->setObjectName(QStringLiteral("favourites"));
    w.favourites->setToolTip(text("즐겨찾기"));
    w.presetArea->addWidget(w.tree);
    w.presetArea->addWidget(w.favourites);
    layout->addWidget(w.presetArea, 1);

    // The side panel that takes the preset tree's place during a run, when switched on.
    w.runPanel = new QWidget;
    w.runPanel->setObjectName(QStringLiteral("runPanel"));
    new QVBoxLayout(w.runPanel);
    w.runPanel->layout()->setContentsMargins(0, 0, 0, 0);
    w.runPanel->setEnabled(false);
    w.runPanel->hide();
    layout->addWidget(w.runPanel, 1);
    column->setMinimumWidth(320);
    return column;
}

QGroupBox* buildSourceFacts(MainWindowWidgets& w) {
    auto* box = new QGroupBox(text("원본 파일 정보"));
    auto* grid = new QGridLayout(box);
    w.sourceFile = factValue("sourceFile");
    w.sourceVideo = factValue("sourceVideo");
    w.sourceAudio = factValue("sourceAudio");
    w.sourceSubtitle = factValue("sourceSubtitle");
    addFactRow(grid, 0, "파일", w.sourceFile);
    addFactRow(grid, 1, "비디오", w.sourceVideo);
    addFactRow(grid, 2, "오디오", w.sourceAudio);
    addFactRow(grid, 3, "자막", w.sourceSubtitle);
    auto* buttons = new QHBoxLayout;
    w.sourceDetailsButton = button("상세정보", "sourceDetailsButton");
    w.sourcePlayButton = button("재생▶", "sourcePlayButton");
    buttons->addStretch(1);
    buttons->addWidget(w.sourceDetailsButton);
    buttons->addWidget(w.sourcePlayButton);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    return box;
}

QGroupBox* buildOutputFacts(MainWindowWidgets& w) {
    auto* box = new QGroupBox(text("생성될 정보"));
    auto* grid = new QGridLayout(box);
    auto* header = new QHBoxLayout;
    header->addWidget(new QLabel(text("현재 설정:")));
    w.currentPresetName = new KeyboardLink;
    w.currentPresetName->setObjectName(QStringLiteral("currentPresetName"));
    w.currentPresetName->setText(
        QStringLiteral("<a href=\"settings\">%1</a>").arg(text("클릭하면 설정값을 불러옵니다")));
    w.currentPresetName->setTextFormat(Qt::RichText);
    header->addWidget(w.currentPresetName, 1);
    grid->addLayout(header, 0, 0, 1, 2);
    w.outputFile = factValue("outputFile");
    w.outputVideo = factValue("outputVideo");
    w.outputAudio = factValue("outputAudio");
    w.outputOther = factValue("outputOther");
    addFactRow(grid, 1, "파일", w.outputFile);
    addFactRow(grid, 2, "비디오", w.outputVideo);
    addFactRow(grid, 3, "오디오", w.outputAudio);
    addFactRow(grid, 4, "기타", w.outputOther);
    // The "기타" row speaks only of a subtitle: hidden with its label while there is none.
    w.outputOtherLabel = grid->itemAtPosition(4, 0)->widget();
    w.outputOtherLabel->hide();
    w.outputOther->hide();
    w.outputResult = factValue("outputResult");
    addFactRow(grid, 5, "결과", w.outputResult);
    w.outputResultLabel = grid->itemAtPosition(5, 0)->widget();
    w.outputResultLabel->hide();
    w.outputResult->hide();
    w.outputDetailsButton = button("상세정보", "outputDetailsButton");
    w.outputPlayButton = button("재생▶", "outputPlayButton");
    w.outputDetailsButton->hide();
    w.outputPlayButton->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(w.outputDetailsButton);
    buttons->addWidget(w.outputPlayButton);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    return box;
}

QProgressBar* progressBar(const char* name) {
    auto* bar = new QProgressBar;
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QLabel* valueLabel(const char* initial, const char* name) {
    auto* label = new QLabel(text(initial));
    label->setObjectName(QString::fromLatin1(name));
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 8);
    return label;
}

QLayout* buildProgressRow(MainWindowWidgets& w) {
    auto* row = new QHBoxLayout;
    auto* progress = new QGroupBox;
    auto* grid = new QGridLayout(progress);
    w.currentBar = progressBar("currentBar");
    w.overallBar = progressBar("overallBar");
    w.currentPercent = valueLabel("0%", "currentPercent");
    w.overallPercent = valueLabel("0%", "overallPercent");
    w.speed = valueLabel("배속정보", "speed");
    w.remainingTime = valueLabel("00:00:00", "remainingTime");
    grid->addWidget(new QLabel(text("현재")), 0, 0);
    grid->addWidget(w.currentBar, 0, 1);
    grid->addWidget(w.currentPercent, 0, 2);
    grid->addWidget(new QLabel(text("정보")), 0, 3);
    grid->addWidget(w.speed, 0, 4);
    grid->addWidget(new QLabel(text("전체")), 1, 0);
    grid->addWidget(w.overallBar, 1, 1);
    grid->addWidget(w.overallPercent, 1, 2);
    grid->addWidget(new QLabel(text("남은시간")), 1, 3);
    grid->addWidget(w.remainingTime, 1, 4);
    grid->setColumnStretch(1, 1);
    row->addWidget(progress, 1);

    auto* after = new QGroupBox(text("변환 후"));
    auto* afterLayout = new QVBoxLayout(after);
    w.powerOffCheck = new QCheckBox(text("PC 전원끄기"));
    w.powerOffCheck->setObjectName(QStringLiteral("powerOffCheck"));
    w.exitCheck = new QCheckBox(text("프로그램 종료"));
    w.exitCheck->setObjectName(QStringLiteral("exitCheck"));
    afterLayout->addWidget(w.powerOffCheck);
    afterLayout->addWidget(w.exitCheck);
    row->addWidget(after);
    return row;
}

QLayout* buildFolderAndRunRow(MainWindowWidgets& w) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(text("저장폴더")));
    w.outputFolderEdit = new QLineEdit;
    w.outputFolderEdit->setObjectName(QStringLiteral("outputFolderEdit"));
    w.outputFolderEdit->setReadOnly(true);
    w.outputFolderEdit->setMinimumWidth(240);
    w.changeFolderButton = button("폴더변경", "changeFolderButton");
    w.openFolderButton = button("폴더열기", "openFolderButton");
    w.sameFolderCheck = new QCheckBox(text("원본폴더에 저장"));
    w.sameFolderCheck->setObjectName(QStringLiteral("sameFolderCheck"));
    w.sameFolderNote = new QLabel(text("각 원본파일과 동일한 폴더에 변환완료 파일이 생성됩니다"));
    w.sameFolderNote->hide();
    row->addWidget(w.outputFolderEdit, 1);
    row->addWidget(w.changeFolderButton);
    row->addWidget(w.openFolderButton);
    row->addWidget(w.sameFolderNote, 1);
    row->addWidget(w.sameFolderCheck);
    row->addSpacing(16);

    w.testButton = button("테스트", "testButton");
    w.startButton = button("변환 시작", "startButton");
    w.startButton->setDefault(true);
    w.stopButton = button("변환 중지", "stopButton");
    w.stopButton->setEnabled(false);
    w.stopButton->hide();
    // Wide enough for "변환 중지 중..." so the row does not jump when a stop is under way.
    w.stopButton->setMinimumWidth(w.stopButton->fontMetrics().horizontalAdvance(text("변환 중지 중...")) + 24);
    w.pauseButton = button("일시정지", "pauseButton");
    w.pauseButton->setEnabled(false);
    w.pauseButton->hide();
    row->addWidget(w.testButton);
    row->addWidget(w.startButton);
    row->addWidget(w.pauseButton);
    row->addWidget(w.stopButton);
    return row;
}

// Tab goes the way the work goes: the list and its buttons, the preset, the folder, start; then
// the rest of the window. Hidden and disabled controls are passed over.
void setTabOrder(MainWindowWidgets& w) {
    const QList<QWidget*> order = {w.list,
                                   w.addButton,
                                   w.upButton,
                                   w.downButton,
                                   w.removeSelectedButton,
                                   w.removeAllButton,
                                   w.trimButton,
                                   w.changeSettingsButton,
                                   w.quickButton,
                                   w.favouritesButton,
                                   w.tree,
                                   w.favourites,
                                   w.currentPresetName,
                                   w.outputFolderEdit,
                                   w.changeFolderButton,
                                   w.openFolderButton,
                                   w.sameFolderCheck,
                                   w.testButton,
                                   w.startButton,
                                   w.pauseButton,
                                   w.stopButton,
                                   w.sourceDetailsButton,
                                   w.sourcePlayButton,
                                   w.outputDetailsButton,
                                   w.outputPlayButton,
                                   w.powerOffCheck,
                                   w.exitCheck,
                                   w.optionsButton,
                                   w.helpButton,
                                   w.requestButton,
                                   w.updateButton};
    for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

}  // namespace

MainWindowWidgets buildMainWindowLayout(QMainWindow& window, SourceList& list) {
    MainWindowWidgets w;
    buildMenus(window, w);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(buildTopRow(w));

    auto* middle = new QHBoxLayout;
    middle->addWidget(buildListColumn(w, list), 5);
    middle->addWidget(buildPresetColumn(w), 2);
    layout->addLayout(middle, 1);

    auto* facts = new QHBoxLayout;
    facts->addWidget(buildSourceFacts(w), 1);
    facts->addWidget(buildOutputFacts(w), 1);
    layout->addLayout(facts);
    layout->addLayout(buildProgressRow(w));
    layout->addLayout(buildFolderAndRunRow(w));

    // The notice area along the bottom: hidden, and the window that much lower, unless the
    // support server's notice panel is switched on.
    w.notice = new QWidget;
    w.notice->setObjectName(QStringLiteral("notice"));
    w.notice->setFixedHeight(kNoticeAreaHeight);
    new QVBoxLayout(w.notice);
    w.notice->layout()->setContentsMargins(0, 0, 0, 0);
    w.notice->hide();
    layout->addWidget(w.notice);

    window.setCentralWidget(central);
    window.statusBar()->setObjectName(QStringLiteral("statusBar"));
    setTabOrder(w);
    return w;
}

}  // namespace torvane::app
