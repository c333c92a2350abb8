// Whole conversions driven through the window's own buttons, with the real encoders.
#include <unistd.h>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <thread>

#include "app/main_window_fixture.h"
#include "app/preset_tree.h"
#include "app/source_list_view.h"
#include "app/window_test_support.h"
#include "media/media_query.h"
#include "run/console_child.h"
#include "run/queue_controller.h"
#include "run/queue_journal.h"

namespace torvane::app {
namespace {

using test::MainWindowTest;
using torvane::test::testMedia;

QString cell(MainWindow& window, int row, SourceColumn column) {
    QTableWidgetItem* item = window.widgets().list->item(row, static_cast<int>(column));
    return item == nullptr ? QString() : item->text();
}

class WindowConversionTest : public MainWindowTest {
protected:
    // Clicks "변환 시작" and waits for the run and its completion action to end.
    void runToTheEnd() {
        QSignalSpy finished(&window(), &MainWindow::runFinished);
        window().widgets().startButton->click();
        ASSERT_TRUE(finished.wait(120000));
    }
};

TEST_F(WindowConversionTest, TwoClipsConvertWithProgressReachingTheEnd) {
    addAndWait({testMedia("av.mp4"), testMedia("video_only.avi")});
    MainWindowWidgets& w = window().widgets();

    QString finishTexts;
    torvane::test::clickInNextModal(QStringLiteral("닫기"), &finishTexts);
    runToTheEnd();

    EXPECT_TRUE(finishTexts.contains(QStringLiteral("동영상 변환이 완료되었습니다."))) << finishTexts.toStdString();
    EXPECT_EQ(w.overallBar->value(), 100);
    EXPECT_EQ(w.overallPercent->text(), QStringLiteral("100%"));
    EXPECT_EQ(w.currentBar->value(), 100);
    EXPECT_EQ(window().statusBar()->currentMessage(), QStringLiteral("작업완료"));
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(cell(window(), row, SourceColumn::Progress), QStringLiteral("100%"));
        const QString produced = cell(window(), row, SourceColumn::OutputFile);
        EXPECT_TRUE(produced.endsWith(QStringLiteral(".avi"))) << produced.toStdString();
        EXPECT_TRUE(std::filesystem::file_size(output_ / produced.toStdString()) > 0);
    }
    // Back to idle, and the produced file of the clicked row can now be looked at.
    EXPECT_TRUE(w.startButton->isVisibleTo(&window()));
    EXPECT_FALSE(w.stopButton->isVisibleTo(&window()));
    EXPECT_TRUE(w.outputDetailsButton->isEnabled());
}

TEST_F(WindowConversionTest, DuringARunTheControlsLockAndAStopEndsItAtOnce) {
    addAndWait({testMedia("proof3.mp4"), testMedia("av4.mp4")});
    MainWindowWidgets& w = window().widgets();
    const std::string settingsBefore = window().currentSettings().profilePath;

    w.startButton->click();
    ASSERT_TRUE(window().controller().runActive());
    EXPECT_FALSE(w.startButton->isVisibleTo(&window()));
    EXPECT_FALSE(w.testButton->isVisibleTo(&window()));
    EXPECT_TRUE(w.stopButton->isVisibleTo(&window()));
    EXPECT_TRUE(w.stopButton->isEnabled());
    EXPECT_FALSE(w.upButton->isEnabled());
    EXPECT_FALSE(w.removeAllButton->isEnabled());
    EXPECT_FALSE(w.changeSettingsButton->isEnabled());

    // A preset chosen now shows in the tree but leaves the run's settings alone.
    QTreeWidgetItem* general = w.tree->topLevelItem(0);
    ASSERT_GT(general->childCount(), 1);
    w.tree->setCurrentItem(general->child(1));
    EXPECT_EQ(window().currentSettings().profilePath, settingsBefore);

    // "일시정지" holds the run and becomes "계속"; a stop while paused works as ever.
    ASSERT_TRUE(w.pauseButton->isVisibleTo(&window()));
    w.pauseButton->click();
    EXPECT_TRUE(window().controller().paused());
    EXPECT_EQ(w.pauseButton->text(), QStringLiteral("계속"));
    w.pauseButton->click();
    EXPECT_FALSE(window().controller().paused());
    EXPECT_EQ(w.pauseButton->text(), QStringLiteral("일시정지"));
    w.pauseButton->click();

    QString stopped;
    torvane::test::clickInNextModal(QStringLiteral("확인"), &stopped);
    QSignalSpy finished(&window(), &MainWindow::runFinished);
    w.stopButton->click();
    EXPECT_EQ(stopped, QStringLiteral("동영상 변환이 중지 되었습니다."));
    EXPECT_FALSE(window().controller().runActive());
    EXPECT_TRUE(w.startButton->isVisibleTo(&window()));
    EXPECT_FALSE(w.stopButton->isVisibleTo(&window()));
    EXPECT_FALSE(w.pauseButton->isVisibleTo(&window()));
    EXPECT_EQ(w.stopButton->text(), QStringLiteral("변환 중지"));
    // The stopped item is not marked done, and the second never started.
    EXPECT_NE(cell(window(), 0, SourceColumn::Progress), QStringLiteral("100%"));
    EXPECT_TRUE(cell(window(), 1, SourceColumn::OutputFile).isEmpty());
    ASSERT_TRUE(finished.wait(5000));
}

// With "confirmbeforestop" the encoder is held still while the question is open and goes on
// after "아니요"; after "예" the window looks idle again, the stopped row saying so.
TEST_F(WindowConversionTest, TheStopQuestionHoldsTheEncoderAndAStopLeavesTheWindowIdle) {
    options_.setOption("confirmbeforestop", "y");
    addAndWait({testMedia("av4.mp4"), testMedia("av.mp4")});
    window().currentSettings().plusparam2 = "-af arealtime";  // at the clip's own pace: 4 seconds
    MainWindowWidgets& w = window().widgets();
    w.startButton->click();
    ASSERT_TRUE(window().controller().runActive());
    QTRY_VERIFY_WITH_TIMEOUT(!torvane::test::childProcessIds(::getpid()).empty() && w.currentBar->value() > 0, 10000);
    const std::vector<int> encoders = torvane::test::childProcessIds(::getpid());
    ASSERT_EQ(encoders.size(), 1u);
    const int encoder = encoders[0];

    char stateWhileAsked = '?';
    QString question;
    torvane::test::whenModalShows([&](QWidget* box) {
        question = qobject_cast<QMessageBox*>(box)->text();
        // SIGSTOP reaches the encoder's group at once; give /proc a moment to show it.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while ((stateWhileAsked = torvane::test::processStateAndTicks(encoder).first) != 'T' &&
               std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        torvane::test::findButton(box, QStringLiteral("아니요"))->click();
    });
    w.stopButton->click();
    EXPECT_EQ(question, QStringLiteral("동영상 변환을 중지 하시겠습니까?"));
    EXPECT_EQ(stateWhileAsked, 'T');
    EXPECT_TRUE(window().controller().runActive());
    EXPECT_FALSE(window().controller().paused());
    QTRY_VERIFY_WITH_TIMEOUT(torvane::test::processStateAndTicks(encoder).first != 'T', 5000);

    QString stopped;
    torvane::test::whenModalShows([&](QWidget* box) {
        // The question first, then the message that the run stopped.
        torvane::test::clickInNextModal(QStringLiteral("확인"), &stopped);
        torvane::test::findButton(box, QStringLiteral("예"))->click();
    });
    w.stopButton->click();
    EXPECT_FALSE(window().controller().runActive());
    EXPECT_EQ(stopped, QStringLiteral("동영상 변환이 중지 되었습니다."));
    EXPECT_TRUE(torvane::test::processEndsWithin(encoder, std::chrono::seconds(10)));

    EXPECT_EQ(cell(window(), 0, SourceColumn::Progress), QStringLiteral("중지됨"));
    EXPECT_TRUE(cell(window(), 1, SourceColumn::Progress).isEmpty());
    EXPECT_EQ(w.currentBar->value(), 0);
    EXPECT_EQ(w.overallBar->value(), 0);
    EXPECT_EQ(w.currentPercent->text(), QStringLiteral("0%"));
    EXPECT_EQ(w.overallPercent->text(), QStringLiteral("0%"));
    EXPECT_EQ(w.speed->text(), QStringLiteral("배속정보"));
    EXPECT_EQ(w.remainingTime->text(), QStringLiteral("00:00:00"));
    EXPECT_TRUE(window().statusBar()->currentMessage().isEmpty())
        << window().statusBar()->currentMessage().toStdString();
    for (QPushButton* idle :
         {w.startButton, w.testButton, w.upButton, w.downButton, w.removeAllButton, w.changeSettingsButton}) {
        EXPECT_TRUE(idle->isEnabled()) << idle->text().toStdString();
        EXPECT_TRUE(idle->isVisibleTo(&window())) << idle->text().toStdString();
    }
    EXPECT_FALSE(w.stopButton->isVisibleTo(&window()));
    EXPECT_FALSE(w.pauseButton->isVisibleTo(&window()));
    EXPECT_TRUE(
        w.list->item(0, static_cast<int>(SourceColumn::Progress))->toolTip().contains(QStringLiteral("중지됨: ")));
}

// "변환 시작" over rows a run has converted asks first; skipping them is the default, and "아니요"
// converts every row again.
TEST_F(WindowConversionTest, StartingAgainAsksWhetherToSkipTheFinishedRows) {
    options_.setOption("finishalert", "n");
    addAndWait({testMedia("av.mp4")});
    runToTheEnd();
    addAndWait({testMedia("video_only.avi")});
    const auto outputs = [this] { return std::distance(std::filesystem::directory_iterator(output_.path()), {}); };
    ASSERT_EQ(outputs(), 1);

    // Enter takes the default answer.
    QString question;
    QString defaultAnswer;
    torvane::test::whenModalShows([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        question = box->text();
        defaultAnswer = box->defaultButton() != nullptr ? box->defaultButton()->text() : QString();
        QTest::keyClick(box, Qt::Key_Return);
    });
    runToTheEnd();
    EXPECT_EQ(question, QStringLiteral("완료된 파일은 건너뛸까요?"));
    EXPECT_EQ(defaultAnswer, QStringLiteral("예"));
    EXPECT_EQ(outputs(), 2);
    ASSERT_EQ(window().controller().results().size(), 2u);
    for (const RunItemResult& result : window().controller().results()) {
        EXPECT_EQ(result.state, RunItemResult::State::Succeeded) << result.reason;
    }
    EXPECT_EQ(cell(window(), 0, SourceColumn::Progress), QStringLiteral("100%"));
    EXPECT_FALSE(cell(window(), 0, SourceColumn::OutputFile).isEmpty());

    torvane::test::clickInNextModal(QStringLiteral("아니요"));
    runToTheEnd();
    EXPECT_EQ(outputs(), 4);
}

TEST_F(WindowConversionTest, ClosingWhileConvertingAsksFirst) {
    addAndWait({testMedia("proof3.mp4")});
    window().show();
    window().widgets().startButton->click();
    ASSERT_TRUE(window().controller().runActive());

    QString question;
    torvane::test::clickInNextModal(QStringLiteral("아니요"), &question);
    EXPECT_FALSE(window().close());
    EXPECT_TRUE(question.startsWith(QStringLiteral("종료하시겠습니까?"))) << question.toStdString();
    EXPECT_TRUE(window().controller().runActive());

    QSignalSpy closed(&window(), &MainWindow::closed);
    torvane::test::clickInNextModal(QStringLiteral("예"));
    EXPECT_TRUE(window().close());
    EXPECT_EQ(closed.count(), 1);
    // The window going away quits the encoder on the way.
    window_.reset();
    EXPECT_FALSE(ConsoleChild::anyRunning());
}

TEST_F(WindowConversionTest, QuittingFromTheMenuAsksNothing) {
    addAndWait({testMedia("proof3.mp4")});
    window().widgets().startButton->click();
    ASSERT_TRUE(window().controller().runActive());
    QSignalSpy closed(&window(), &MainWindow::closed);
    window().widgets().quitAction->trigger();
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(WindowConversionTest, PowerOffAfterTheRunWaitsForTheCountdown) {
    addAndWait({testMedia("av.mp4")});
    window().widgets().powerOffCheck->setChecked(true);
    window().widgets().exitCheck->setChecked(true);

    // Cancelled: nothing happens.
    torvane::test::clickInNextModal(QStringLiteral("PC종료 취소"));
    runToTheEnd();
    EXPECT_TRUE(power_.requests.empty());

    // Run out (accepted here rather than waiting thirty seconds): the machine is asked to power off.
    // The clip converted before is converted again.
    torvane::test::whenModalShows([](QWidget* question) {
        torvane::test::whenModalShows([](QWidget* countdown) { qobject_cast<QDialog*>(countdown)->accept(); });
        torvane::test::findButton(question, QStringLiteral("아니요"))->click();
    });
    runToTheEnd();
    EXPECT_EQ(power_.requests, std::vector<std::string>{"shutdown"});
}

TEST_F(WindowConversionTest, ATestRunEncodesOnlyTheChosenSeconds) {
    addAndWait({testMedia("av4.mp4")});
    options_.setOption("finishalert", "n");
    torvane::test::whenModalShows([](QWidget* dialog) {
        auto* seconds = dialog->findChild<QLineEdit*>();
        ASSERT_NE(seconds, nullptr);
        EXPECT_EQ(seconds->text(), QStringLiteral("5"));
        seconds->setText(QStringLiteral("1"));
        torvane::test::findButton(dialog, QStringLiteral("확인"))->click();
    });
    QSignalSpy finished(&window(), &MainWindow::runFinished);
    window().widgets().testButton->click();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(window().controller().testEncodeSeconds, 1);
    ASSERT_EQ(window().controller().results().size(), 1u);
    EXPECT_EQ(window().controller().results()[0].state, RunItemResult::State::Succeeded)
        << window().controller().results()[0].reason;

    SourceItem produced;
    ASSERT_TRUE(querySourceItem(MediaInfoLibrary::instance(), window().controller().lastOutputPath(), produced));
    EXPECT_LE(produced.media.durationExact, 1.5f);
    EXPECT_GT(produced.media.durationExact, 0.5f);
}

// A failed row says why in its tips and in "결과", the finish dialog lists it with its reason,
// and its encoder log opens from the list menu.
TEST_F(WindowConversionTest, AFailedRowShowsItsReasonEverywhereAndOpensItsEncoderLog) {
    torvane::test::TempFolder sources;
    const std::string damaged = sources / "damaged.mp4";
    std::filesystem::copy_file(testMedia("av.mp4"), damaged);
    addAndWait({damaged, testMedia("av.mp4")});
    // Damaged after it was added: the encoder cannot read it.
    torvane::test::writeFile(damaged, std::string(4096, 'x'));

    QString headline;
    QString listed;
    torvane::test::whenModalShows([&](QWidget* dialog) {
        for (QLabel* label : dialog->findChildren<QLabel*>()) headline += label->text() + "\n";
        if (auto* failures = dialog->findChild<QPlainTextEdit*>(QStringLiteral("failures"))) {
            listed = failures->toPlainText();
        }
        torvane::test::findButton(dialog, QStringLiteral("닫기"))->click();
    });
    runToTheEnd();
    EXPECT_TRUE(headline.contains(QStringLiteral("변환에 실패한 파일이 1개 있습니다. (성공 1개)")))
        << headline.toStdString();
    EXPECT_FALSE(headline.contains(QStringLiteral("축하드립니다!")));
    const RunItemResult& result = window().controller().results()[0];
    ASSERT_EQ(result.state, RunItemResult::State::Failed);
    ASSERT_NE(result.reason.find("Invalid data"), std::string::npos) << result.reason;
    const QString reason = QString::fromStdString(result.reason);
    EXPECT_TRUE(listed.startsWith(QStringLiteral("damaged.mp4\n"))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(reason.trimmed())) << listed.toStdString();
    EXPECT_FALSE(listed.contains(QStringLiteral("av.mp4")));

    MainWindowWidgets& w = window().widgets();
    EXPECT_EQ(cell(window(), 0, SourceColumn::Progress), QStringLiteral("실패"));
    for (const SourceColumn column : {SourceColumn::InputFile, SourceColumn::Progress}) {
        const QString tip = w.list->item(0, static_cast<int>(column))->toolTip();
        EXPECT_TRUE(tip.contains(QStringLiteral("실패: ") + reason)) << tip.toStdString();
    }
    EXPECT_FALSE(w.list->item(1, static_cast<int>(SourceColumn::Progress))->toolTip().contains(QStringLiteral("실패")));
    // "결과" follows the clicked row: the failed one shows its reason, the converted one nothing.
    w.list->selectOnlyRow(0);
    EXPECT_TRUE(w.outputResult->isVisibleTo(&window()));
    EXPECT_EQ(w.outputResult->text(), QStringLiteral("실패: ") + reason);
    EXPECT_TRUE(w.outputResult->textInteractionFlags() & Qt::TextSelectableByMouse);
    w.list->selectOnlyRow(1);
    EXPECT_FALSE(w.outputResult->isVisibleTo(&window()));
    // Nothing under the failed output's name, nothing hidden beside the converted one.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(output_.path()), {}), 1);

    std::unique_ptr<QMenu> menu = window().makeListMenu(0);
    const QList<QAction*> actions = menu->actions();
    ASSERT_FALSE(actions.isEmpty());
    EXPECT_TRUE(actions.back()->text().startsWith(QStringLiteral("로그 보기")));
    EXPECT_TRUE(actions.back()->isEnabled());
    EXPECT_NE(torvane::test::readFile(result.logPath).find("Invalid data"), std::string::npos);
}

// A list that a crash cut short is offered back at the next start: restored with its settings,
// range and the item it had finished, and "변환 시작" converts only what was left.
TEST_F(WindowConversionTest, AListACrashLeftIsOfferedBackAndOnlyItsRestConverts) {
    const std::string done = output_ / "done earlier.avi";
    torvane::test::writeFile(done, "converted before the crash");
    const auto doneWritten = std::filesystem::last_write_time(done);
    QueueJournal journal;
    ASSERT_TRUE(journal.settings.loadProfile(torvane::test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini"));
    journal.settings.plusparam2 = "-preset ultrafast";
    journal.output.folder = output_.path();
    journal.entries.push_back({testMedia("av.mp4"), 0.0, 0.0, true, "", JournalState::Done, done, "", 0.0, ""});
    journal.entries.push_back({testMedia("av4.mp4"), 1.0, 3.0, false, "", JournalState::Running, "", "", 0.0, ""});
    std::string error;
    ASSERT_TRUE(writeQueueJournal(queueJournalPath(), journal, &error)) << error;
    keepQueueJournal_ = true;

    QString question;
    torvane::test::clickInNextModal(QStringLiteral("예"), &question);
    QSignalSpy added(&window(), &MainWindow::filesAdded);
    window();
    ASSERT_TRUE(added.wait(30000));
    EXPECT_TRUE(question.contains(QStringLiteral("이전 작업 목록을 복원할까요?"))) << question.toStdString();
    ASSERT_EQ(window().widgets().list->rowCount(), 2);
    EXPECT_EQ(cell(window(), 0, SourceColumn::Progress), QStringLiteral("100%"));
    // The tree shows the preset the run goes on with, not the one remembered before the crash.
    QTreeWidgetItem* shown = window().widgets().tree->currentItem();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(window().widgets().tree->pathOf(shown), journal.settings.profilePath);

    torvane::test::clickInNextModal(QStringLiteral("닫기"));
    runToTheEnd();
    EXPECT_EQ(std::filesystem::last_write_time(done), doneWritten);
    const QString produced = cell(window(), 1, SourceColumn::OutputFile);
    ASSERT_TRUE(produced.endsWith(QStringLiteral(".mp4"))) << produced.toStdString();
    const torvane::test::ProgramResult probe =
        torvane::test::runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration:stream=codec_type",
                                   "-of", "csv=p=0", output_ / produced.toStdString()});
    EXPECT_EQ(probe.out.find("audio"), std::string::npos) << probe.out;  // its sound was left out
    const std::string seconds = probe.out.substr(probe.out.rfind('\n', probe.out.size() - 2) + 1);
    EXPECT_NEAR(std::atof(seconds.c_str()), 2.0, 0.2) << probe.out;  // its range, 1 to 3 s
    // Everything is done: nothing is offered at the next start.
    EXPECT_FALSE(std::filesystem::exists(queueJournalPath()));
}

// Files added and never converted are not lost to a crash either, and a normal close means the
// list is not wanted again.
TEST_F(WindowConversionTest, FilesAddedButNotYetConvertedAreOfferedBackAfterACrash) {
    keepQueueJournal_ = true;
    addAndWait({testMedia("av.mp4"), testMedia("av4.mp4")});
    ASSERT_TRUE(std::filesystem::exists(queueJournalPath()));
    window_.reset();  // gone without closing, as in a crash

    torvane::test::clickInNextModal(QStringLiteral("예"));
    QSignalSpy added(&window(), &MainWindow::filesAdded);
    ASSERT_TRUE(added.wait(30000));
    EXPECT_EQ(window().widgets().list->rowCount(), 2);
    window().close();
    EXPECT_FALSE(std::filesystem::exists(queueJournalPath()));
}

}  // namespace
}  // namespace torvane::app
