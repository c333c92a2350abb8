#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/main_window_fixture.h"
#include "app/preset_tree.h"
#include "app/source_list_view.h"
#include "app/window_test_support.h"
#include "run/queue_controller.h"
#include "settings/program_files.h"

namespace torvane::app {
namespace {

using test::MainWindowTest;
using torvane::test::buildDir;
using torvane::test::testMedia;

QString cell(MainWindow& window, int row, SourceColumn column) {
    QTableWidgetItem* item = window.widgets().list->item(row, static_cast<int>(column));
    return item == nullptr ? QString() : item->text();
}

QStringList actionStates(QMenu& menu) {
    QStringList states;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        states << action->text().section(QLatin1Char('\t'), 0, 0) + (action->isEnabled() ? "+" : "-");
    }
    return states;
}

QTreeWidgetItem* presetItem(PresetTree& tree, const QString& group, const QString& name) {
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = tree.topLevelItem(i);
        if (top->text(0) != group) continue;
        top->setExpanded(true);
        for (int j = 0; j < top->childCount(); ++j) {
            if (top->child(j)->text(0) == name) return top->child(j);
        }
    }
    return nullptr;
}

TEST_F(MainWindowTest, OpensWithTheRememberedPresetAndOutputFolder) {
    EXPECT_EQ(window().currentSettings().profilePath, defaultProfileOf(buildDir()));
    EXPECT_EQ(window().widgets().outputFolderEdit->text().toStdString(), output_.path());
    EXPECT_EQ(window().clickedRow(), -1);
    EXPECT_FALSE(window().widgets().outputDetailsButton->isEnabled());
    EXPECT_FALSE(window().widgets().stopButton->isVisibleTo(&window()));
}

TEST_F(MainWindowTest, AMissingRememberedFolderAndPresetFallBackToTheDefaults) {
    options_.setOption("lastoutdir", output_ / "removed");
    options_.setOption("lastpreset", output_ / "deleted.ini");
    EXPECT_EQ(window().currentSettings().profilePath, defaultProfileOf(buildDir()));
    // The tests' own home folder has no Documents folder setting: ~/Documents/Torvane is made.
    const std::string expected = std::string(std::getenv("HOME")) + "/Documents/Torvane";
    EXPECT_EQ(window().widgets().outputFolderEdit->text().toStdString(), expected);
    EXPECT_TRUE(std::filesystem::is_directory(expected));
}

TEST_F(MainWindowTest, AddedFilesKeepTheirOrderAndRefusedOnesAreNamed) {
    // An MP4 of nothing but its type box: the library finds no stream in it.
    torvane::test::TempFolder broken;
    torvane::test::writeFile(broken / "broken.mp4", std::string("\0\0\0\x18"
                                                                "ftypisom\0\0\0\0isommp41",
                                                                24));
    QString refusal;
    torvane::test::clickInNextModal(QStringLiteral("확인"), &refusal);
    addAndWait({testMedia("av.mp4"), testMedia("not_media.txt"), testMedia("empty.mp4"), testMedia("audio_only.mp3"),
                broken / "broken.mp4", testMedia("video_only.avi"), testMedia("av.mp4")});
    // One message for the whole addition, naming every refused file.
    EXPECT_EQ(refusal, QStringLiteral("멀티미디어 파일이 아닙니다.\n\nnot_media.txt\nbroken.mp4"));

    MainWindow& w = window();
    ASSERT_EQ(w.widgets().list->rowCount(), 4);
    EXPECT_EQ(cell(w, 0, SourceColumn::InputFile), QStringLiteral("av.mp4"));
    EXPECT_EQ(cell(w, 1, SourceColumn::InputFile), QStringLiteral("audio_only.mp3"));
    EXPECT_EQ(cell(w, 2, SourceColumn::InputFile), QStringLiteral("video_only.avi"));
    EXPECT_EQ(cell(w, 3, SourceColumn::InputFile), QStringLiteral("av.mp4"));
    EXPECT_EQ(cell(w, 3, SourceColumn::Duration), QStringLiteral("00:00:02"));
    // The same file twice is two items.
    EXPECT_NE(w.sourceList().keyOfRow(0), w.sourceList().keyOfRow(3));

    // The last file added is the clicked row, with its facts and what it would become.
    EXPECT_EQ(w.clickedRow(), 3);
    EXPECT_EQ(w.widgets().list->currentRow(), 3);
    EXPECT_FALSE(w.widgets().sourceFile->text().isEmpty());
    EXPECT_TRUE(w.widgets().outputFile->text().startsWith(QStringLiteral("av.avi\navi  00:00:02")))
        << w.widgets().outputFile->text().toStdString();
    EXPECT_EQ(options_.lastOpenFolder(), std::string(std::filesystem::path(testMedia("av.mp4")).parent_path()));
}

TEST_F(MainWindowTest, MovingAndRemovingActOnTheSelectedRows) {
    addAndWait({testMedia("av.mp4"), testMedia("audio_only.mp3"), testMedia("video_only.avi"), testMedia("mono.wav")});
    MainWindow& w = window();
    SourceListView& list = *w.widgets().list;

    list.clearSelection();
    QString reminder;
    torvane::test::clickInNextModal(QStringLiteral("확인"), &reminder);
    w.widgets().upButton->click();
    EXPECT_EQ(reminder, QStringLiteral("이동할 항목을 먼저 선택하십시요"));

    // Rows 1 and 2 move up together.
    list.selectionModel()->select(list.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.selectionModel()->select(list.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.widgets().upButton->click();
    EXPECT_EQ(cell(w, 0, SourceColumn::InputFile), QStringLiteral("audio_only.mp3"));
    EXPECT_EQ(cell(w, 1, SourceColumn::InputFile), QStringLiteral("video_only.avi"));
    EXPECT_EQ(cell(w, 2, SourceColumn::InputFile), QStringLiteral("av.mp4"));
    EXPECT_TRUE(list.selectionModel()->isRowSelected(0, QModelIndex()));
    EXPECT_TRUE(list.selectionModel()->isRowSelected(1, QModelIndex()));
    EXPECT_EQ(w.clickedRow(), 0);

    // Removing asks first; "아니요" keeps every row, "예" removes the two and selects row 0.
    torvane::test::clickInNextModal(QStringLiteral("아니요"));
    w.widgets().removeSelectedButton->click();
    EXPECT_EQ(list.rowCount(), 4);
    QString question;
    torvane::test::clickInNextModal(QStringLiteral("예"), &question);
    w.widgets().removeSelectedButton->click();
    EXPECT_EQ(question, QStringLiteral("선택한 항목을 목록에서 제거하시겠습니까?"));
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(w.sourceList().rowCount(), 2);
    EXPECT_EQ(cell(w, 0, SourceColumn::InputFile), QStringLiteral("av.mp4"));
    EXPECT_EQ(w.clickedRow(), 0);
    EXPECT_TRUE(list.selectionModel()->isRowSelected(0, QModelIndex()));

    torvane::test::clickInNextModal(QStringLiteral("예"));
    w.widgets().removeAllButton->click();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(w.sourceList().itemCount(), 0u);
    EXPECT_EQ(w.clickedRow(), -1);
    EXPECT_TRUE(w.widgets().outputFile->text().isEmpty());
}

TEST_F(MainWindowTest, FilesDroppedOnTheWindowAndTheDeleteKeyWork) {
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(testMedia("av.mp4"))),
                     QUrl::fromLocalFile(QString::fromStdString(testMedia("mono.wav")))});
    QSignalSpy added(&window(), &MainWindow::filesAdded);
    window().show();
    // A drop is offered first (drag enter), then made.
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_TRUE(added.wait(30000));
    ASSERT_EQ(window().widgets().list->rowCount(), 2);
    EXPECT_EQ(cell(window(), 1, SourceColumn::InputFile), QStringLiteral("mono.wav"));

    QString question;
    torvane::test::clickInNextModal(QStringLiteral("예"), &question);
    QTest::keyClick(window().widgets().list, Qt::Key_Delete);
    EXPECT_EQ(question, QStringLiteral("선택한 항목을 목록에서 제거하시겠습니까?"));
    ASSERT_EQ(window().widgets().list->rowCount(), 1);
    EXPECT_EQ(cell(window(), 0, SourceColumn::InputFile), QStringLiteral("av.mp4"));
}

TEST_F(MainWindowTest, TheListMenuOffersWhatTheClickedRowAllows) {
    const QStringList belowRows = actionStates(*window().makeListMenu(-1));
    EXPECT_EQ(belowRows,
              (QStringList{"원본 상세정보-", "원본 파일 플레이-", "생성된 파일 상세정보-", "생성된 파일 플레이-",
                           "파일 추가+", "선택 목록제거+", "전체 목록제거+", "원본 폴더 열기-", "로그 보기-"}));

    addAndWait({testMedia("av.mp4")});
    const QStringList onRow = actionStates(*window().makeListMenu(0));
    EXPECT_EQ(onRow, (QStringList{"원본 상세정보+", "원본 파일 플레이+", "생성된 파일 상세정보-", "생성된 파일 플레이-",
                                  "파일 추가+", "선택 목록제거+", "전체 목록제거+", "원본 폴더 열기+", "로그 보기-"}));
}

TEST_F(MainWindowTest, ChoosingAPresetLoadsItAndOpensTheSettingsOnlyWhenAskedWithY) {
    PresetTree& tree = *window().widgets().tree;
    QTreeWidgetItem* mp4 =
        presetItem(tree, QStringLiteral("+ 일반 파일변환"), QStringLiteral("MP4 보통 화질 (H.264 + AAC)"));
    ASSERT_NE(mp4, nullptr);
    tree.setCurrentItem(mp4);
    EXPECT_EQ(window().currentSettings().profilePath, tree.pathOf(mp4));
    EXPECT_EQ(window().currentSettings().container, "mp4");

    // "yes" is not "y": no dialog (a dialog here would block the test).
    options_.setOption("viewsettingonpreset", "yes");
    QTreeWidgetItem* avi =
        presetItem(tree, QStringLiteral("+ 일반 파일변환"), QStringLiteral("AVI 동영상 (XviD + MP3)"));
    ASSERT_NE(avi, nullptr);
    tree.setCurrentItem(avi);
    EXPECT_EQ(window().currentSettings().container, "avi");

    // With nothing stored the dialog opens, in its preset mode without "취 소".
    options_.setOption("viewsettingonpreset", "");
    bool cancelShown = true;
    torvane::test::whenModalShows([&](QWidget* dialog) {
        QAbstractButton* cancel = torvane::test::findButton(dialog, QStringLiteral("취 소"));
        cancelShown = cancel != nullptr && cancel->isVisible();
        torvane::test::findButton(dialog, QStringLiteral("적 용"))->click();
    });
    tree.setCurrentItem(mp4);
    EXPECT_FALSE(cancelShown);
    EXPECT_EQ(window().currentSettings().container, "mp4");
    EXPECT_EQ(options_.getOption("lastpreset", ""), tree.pathOf(mp4));
}

// The preset in use is named above the summary, and after a restart the tree shows that preset
// selected, not the first group.
TEST_F(MainWindowTest, APresetInUseIsNamedAndSelectedAgainAfterARestart) {
    options_.setOption("viewsettingonpreset", "");
    std::string chosenPath;
    {
        PresetTree& tree = *window().widgets().tree;
        QTreeWidgetItem* mp4 =
            presetItem(tree, QStringLiteral("+ 일반 파일변환"), QStringLiteral("MP4 보통 화질 (H.264 + AAC)"));
        ASSERT_NE(mp4, nullptr);
        chosenPath = tree.pathOf(mp4);
        torvane::test::whenModalShows(
            [](QWidget* dialog) { torvane::test::findButton(dialog, QStringLiteral("적 용"))->click(); });
        tree.setCurrentItem(mp4);
        EXPECT_TRUE(window().widgets().currentPresetName->text().contains(
            QStringLiteral("+ 일반 파일변환 / MP4 보통 화질 (H.264 + AAC)")));
    }
    window_.reset();
    PresetTree& tree = *window().widgets().tree;
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_EQ(tree.pathOf(tree.currentItem()), chosenPath);
    EXPECT_EQ(window().currentSettings().profilePath, chosenPath);
    EXPECT_TRUE(window().widgets().currentPresetName->text().contains(
        QStringLiteral("+ 일반 파일변환 / MP4 보통 화질 (H.264 + AAC)")));

    // A preset two groups deep: its groups are opened to show it, and both are named.
    const std::string iphone = torvane::test::buildDir() + "/preset/기기설정/스마트폰 태블릿/iphone.ini";
    options_.setOption("lastpreset", iphone);
    window_.reset();
    QTreeWidgetItem* shown = window().widgets().tree->currentItem();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(window().widgets().tree->pathOf(shown), iphone);
    EXPECT_TRUE(shown->parent()->isExpanded());
    EXPECT_TRUE(window().widgets().currentPresetName->text().contains(
        QStringLiteral("기기설정 / 스마트폰 태블릿 / 아이폰 작은 용량 (MP4 540p)")));
}

TEST_F(MainWindowTest, StartingWithAnEmptyListOnlyWarns) {
    QString warning;
    torvane::test::clickInNextModal(QStringLiteral("확인"), &warning);
    window().widgets().startButton->click();
    EXPECT_EQ(warning, QStringLiteral("변환할 파일이 없습니다. 변환할 파일을 먼저 추가해주세요."));
    EXPECT_FALSE(window().controller().runActive());
    EXPECT_TRUE(window().widgets().startButton->isVisibleTo(&window()));
}

TEST_F(MainWindowTest, ASettingsCheckCancelledBeforeStartStartsNothing) {
    addAndWait({testMedia("av.mp4")});
    options_.setOption("settingbeforestart", "y");
    torvane::test::clickInNextModal(QStringLiteral("취 소"));
    window().widgets().startButton->click();
    EXPECT_FALSE(window().controller().runActive());
    EXPECT_TRUE(window().widgets().list->item(0, static_cast<int>(SourceColumn::Progress))->text().isEmpty());
}

TEST_F(MainWindowTest, SavingBesideTheSourcesHidesTheFolderControls) {
    MainWindowWidgets& w = window().widgets();
    w.sameFolderCheck->setChecked(true);
    EXPECT_FALSE(w.outputFolderEdit->isVisibleTo(&window()));
    EXPECT_FALSE(w.changeFolderButton->isVisibleTo(&window()));
    EXPECT_TRUE(w.sameFolderNote->isVisibleTo(&window()));
    w.sameFolderCheck->setChecked(false);
    EXPECT_TRUE(w.outputFolderEdit->isVisibleTo(&window()));
    EXPECT_FALSE(w.sameFolderNote->isVisibleTo(&window()));
}

TEST_F(MainWindowTest, ClosingToTheTrayHidesTheWindowOnlyWhereATrayCanBringItBack) {
    options_.setOption("closetotray", "y");
    systemTrayAvailable_ = true;
    window().show();
    EXPECT_FALSE(window().close());
    EXPECT_FALSE(window().isVisible());
    window().showAndRaise();
    EXPECT_TRUE(window().isVisible());

    options_.setOption("closetotray", "Y");
    QSignalSpy closed(&window(), &MainWindow::closed);
    EXPECT_TRUE(window().close());
    EXPECT_EQ(closed.count(), 1);

    // No tray: closing ends the program (asking first during a run) rather than hide the window
    // for good.
    window().show();
    options_.setOption("closetotray", "y");
    systemTrayAvailable_ = false;
    EXPECT_TRUE(window().close());
    EXPECT_EQ(closed.count(), 2);
    EXPECT_FALSE(window().isVisible());
}

}  // namespace
}  // namespace torvane::app
