// The window worked from the keyboard alone, with the real encoder behind "변환 시작".
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/main_window_fixture.h"
#include "app/preset_tree.h"
#include "app/source_list_view.h"
#include "app/window_test_support.h"
#include "run/queue_controller.h"

namespace torvane::app {
namespace {

using test::MainWindowTest;
using torvane::test::testMedia;

QString cell(MainWindow& window, int row) {
    QTableWidgetItem* item = window.widgets().list->item(row, static_cast<int>(SourceColumn::InputFile));
    return item == nullptr ? QString() : item->text();
}

class KeyboardTest : public MainWindowTest {
protected:
    // The key, pressed wherever the focus now is. A desktop gives the window back its
    // activation, and with it the focus, when a dialog or message box has closed; the offscreen
    // platform needs to be asked.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        if (QApplication::activeWindow() != &window()) {
            window().activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
        }
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // The title of the dialog the key opens, closed again unused.
    QString dialogOpenedBy(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QString title;
        torvane::test::whenModalShows([&title](QWidget* modal) {
            title = modal->windowTitle();
            qobject_cast<QDialog*>(modal)->reject();
        });
        press(key, modifiers);
        return title;
    }
};

TEST_F(KeyboardTest, TabWalksTheWorkInOrderAndTheKeysWorkAnywhere) {
    addAndWait({testMedia("av4.mp4"), testMedia("audio_only.mp3"), testMedia("video_only.avi"), testMedia("av.mp4")});
    MainWindow& main = window();
    MainWindowWidgets& w = main.widgets();
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));

    // The list is one stop: Tab leaves it for its buttons, then the preset, the folder, start.
    w.list->setFocus(Qt::TabFocusReason);
    const QList<QWidget*> expected = {w.addButton,
                                      w.upButton,
                                      w.downButton,
                                      w.removeSelectedButton,
                                      w.removeAllButton,
                                      w.changeSettingsButton,
                                      w.tree,
                                      w.currentPresetName,
                                      w.outputFolderEdit,
                                      w.changeFolderButton,
                                      w.openFolderButton,
                                      w.sameFolderCheck,
                                      w.testButton,
                                      w.startButton};
    QList<QWidget*> walked;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        press(Qt::Key_Tab);
        walked << QApplication::focusWidget();
    }
    EXPECT_EQ(walked, expected);

    // The preset's name opens the settings with Enter.
    w.currentPresetName->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(dialogOpenedBy(Qt::Key_Return), QStringLiteral("변환값 설정"));

    // Insert and Ctrl+O add files wherever the focus is; Delete removes the selected row and the
    // row below takes its place in the selection.
    w.tree->setFocus();
    EXPECT_EQ(dialogOpenedBy(Qt::Key_Insert), QStringLiteral("원본 동영상을 선택해주세요."));
    w.outputFolderEdit->setFocus();
    EXPECT_EQ(dialogOpenedBy(Qt::Key_O, Qt::ControlModifier), QStringLiteral("원본 동영상을 선택해주세요."));
    w.list->selectOnlyRow(1);
    w.tree->setFocus();
    torvane::test::clickInNextModal(QStringLiteral("예"));
    press(Qt::Key_Delete);
    ASSERT_EQ(w.list->rowCount(), 3);
    EXPECT_EQ(cell(main, 1), QStringLiteral("video_only.avi"));
    EXPECT_EQ(main.clickedRow(), 1);
    EXPECT_EQ(w.list->selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(w.list->selectionModel()->isRowSelected(1, QModelIndex()));
    w.list->selectOnlyRow(0);

    // F5 starts from anywhere; Escape asks before it stops, and "아니요" lets the run go on.
    main.currentSettings().plusparam2 = "-af arealtime";  // at the clip's own pace: 4 seconds
    w.outputFolderEdit->setFocus();
    press(Qt::Key_F5);
    ASSERT_TRUE(main.controller().runActive());
    EXPECT_FALSE(w.startAction->isEnabled());
    EXPECT_TRUE(w.stopAction->isEnabled());
    QString question;
    torvane::test::clickInNextModal(QStringLiteral("아니요"), &question);
    w.list->setFocus();
    press(Qt::Key_Escape);
    EXPECT_EQ(question, QStringLiteral("동영상 변환을 중지 하시겠습니까?"));
    EXPECT_TRUE(main.controller().runActive());
    torvane::test::whenModalShows([](QWidget* box) {
        torvane::test::clickInNextModal(QStringLiteral("확인"));
        torvane::test::findButton(box, QStringLiteral("예"))->click();
    });
    press(Qt::Key_Escape);
    EXPECT_FALSE(main.controller().runActive());
    EXPECT_TRUE(w.startAction->isEnabled());
    EXPECT_FALSE(w.stopAction->isEnabled());

    // Space on "변환 시작" starts and a second Space stops: the focus moves to the button that
    // took the pressed one's place, and back again.
    w.startButton->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    ASSERT_TRUE(main.controller().runActive());
    EXPECT_EQ(QApplication::focusWidget(), w.stopButton);
    torvane::test::clickInNextModal(QStringLiteral("확인"));
    press(Qt::Key_Space);
    EXPECT_FALSE(main.controller().runActive());
    // The window's focus, which comes back with its activation after the message.
    EXPECT_EQ(main.focusWidget(), w.startButton);

    // Start and stop are in the "파일" menu too.
    QStringList fileMenu;
    for (QAction* action : main.menuBar()->actions().first()->menu()->actions()) fileMenu << action->text();
    EXPECT_TRUE(fileMenu.contains(QStringLiteral("변환 시작\tF5")));
    EXPECT_TRUE(fileMenu.contains(QStringLiteral("변환 중지\tEsc")));
}

}  // namespace
}  // namespace torvane::app
