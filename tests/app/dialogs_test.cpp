#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <thread>

#include "app/app_icon.h"
#include "app/finish_dialog.h"
#include "app/media_detail_dialog.h"
#include "app/options_dialog.h"
#include "app/qt_text.h"
#include "app/shutdown_countdown.h"
#include "app/test_encode_dialog.h"
#include "app/window_test_support.h"
#include "media/mediainfo_library.h"
#include "settings/option_store.h"
#include "support/test_support.h"

namespace torvane::app {
namespace {

template <typename T>
T* child(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

bool checked(QWidget* dialog, const char* name) {
    return child<QAbstractButton>(dialog, name)->isChecked();
}

// Closes whatever modal shows up while it lives and keeps its title and text; a test that
// expects no message can thus never hang on one, and the guard dies with the test.
class ModalCatcher {
public:
    ModalCatcher() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) return;
            title = modal->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text();
            ++count;
            modal->close();
        });
        timer_.start();
    }

    int count = 0;
    QString title;
    QString text;

private:
    QTimer timer_;
};

// ---- "환경설정"

struct OptionsFixture : ::testing::Test {
    test::TempFolder folder;
    std::string programFolder = folder / "program";
    OptionStore store{folder / "config"};

    OptionsFixture() { std::filesystem::create_directories(programFolder); }

    std::string stored(std::string_view name) const { return store.getOption(name, "(missing)"); }
};

using OptionsDialogTest = OptionsFixture;

TEST_F(OptionsDialogTest, AFreshStoreShowsTheDefaultsWithTheLogoControlsOff) {
    OptionsDialog dialog(store, programFolder);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("환경설정"));
    for (const char* off :
         {"closetotray", "settingbeforestart", "confirmbeforestop", "swfmp3extractfirst", "logouse"}) {
        EXPECT_FALSE(checked(&dialog, off)) << off;
    }
    for (const char* on : {"finishalert", "viewsettingonpreset", "swfmethodframe"}) {
        EXPECT_TRUE(checked(&dialog, on)) << on;
    }
    EXPECT_TRUE(checked(&dialog, "logocorner4"));
    EXPECT_EQ(child<QLineEdit>(&dialog, "logox")->text(), "5");
    EXPECT_EQ(child<QLineEdit>(&dialog, "logoy")->text(), "5");
    EXPECT_EQ(child<QLineEdit>(&dialog, "logopath")->text(), "");
    EXPECT_EQ(child<QSpinBox>(&dialog, "parallel")->value(), 1);

    const char* logoControls[] = {"logopath",    "logocorner1", "logocorner2", "logocorner3",
                                  "logocorner4", "logox",       "logoy"};
    for (const char* name : logoControls) EXPECT_FALSE(child<QWidget>(&dialog, name)->isEnabled()) << name;
    child<QCheckBox>(&dialog, "logouse")->click();
    for (const char* name : logoControls) EXPECT_TRUE(child<QWidget>(&dialog, name)->isEnabled()) << name;
    child<QCheckBox>(&dialog, "logouse")->click();
    for (const char* name : logoControls) EXPECT_FALSE(child<QWidget>(&dialog, name)->isEnabled()) << name;
}

TEST_F(OptionsDialogTest, FlagsAreOnOnlyForExactlyY) {
    store.setOption("closetotray", "yes");
    store.setOption("settingbeforestart", "Y");
    store.setOption("confirmbeforestop", "y");
    store.setOption("viewsettingonpreset", "1");
    store.setOption("logouse", "y");
    OptionsDialog dialog(store, programFolder);
    EXPECT_FALSE(checked(&dialog, "closetotray"));
    EXPECT_FALSE(checked(&dialog, "settingbeforestart"));
    EXPECT_FALSE(checked(&dialog, "viewsettingonpreset"));
    EXPECT_TRUE(checked(&dialog, "confirmbeforestop"));
    EXPECT_TRUE(checked(&dialog, "logouse"));
    EXPECT_TRUE(child<QWidget>(&dialog, "logopath")->isEnabled());
    EXPECT_TRUE(child<QWidget>(&dialog, "logox")->isEnabled());
}

TEST_F(OptionsDialogTest, TheCompletionMessageBoxShowsWhatItsReaderDoes) {
    // The completion message counts "yes" as on: the box must not show it off and then turn
    // it off when the dialog is confirmed unchanged.
    store.setOption("finishalert", "yes");
    OptionsDialog dialog(store, programFolder);
    EXPECT_TRUE(checked(&dialog, "finishalert"));
    test::findButton(&dialog, QStringLiteral("확 인"))->click();
    EXPECT_EQ(stored("finishalert"), "y");
}

TEST_F(OptionsDialogTest, ConfirmingStoresEveryValueWithTheLogoBesideTheProgram) {
    const std::string logo = programFolder + "/logo.png";
    test::writeFile(logo, "png");
    store.setOption("logocorner", "7");
    store.setOption("confirmbeforestop", "y");
    OptionsDialog dialog(store, programFolder);
    EXPECT_EQ(child<QLineEdit>(&dialog, "logopath")->text(), toQt(logo));
    for (const char* corner : {"logocorner1", "logocorner2", "logocorner3", "logocorner4"}) {
        EXPECT_FALSE(checked(&dialog, corner)) << corner;
    }

    child<QCheckBox>(&dialog, "closetotray")->click();
    child<QCheckBox>(&dialog, "swfmethodframe")->click();
    child<QLineEdit>(&dialog, "logox")->setText("12");
    test::findButton(&dialog, QStringLiteral("확 인"))->click();

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(stored("closetotray"), "y");
    EXPECT_EQ(stored("finishalert"), "y");
    EXPECT_EQ(stored("viewsettingonpreset"), "y");
    EXPECT_EQ(stored("settingbeforestart"), "n");
    EXPECT_EQ(stored("confirmbeforestop"), "y");
    EXPECT_EQ(stored("swfmethodframe"), "n");
    EXPECT_EQ(stored("swfmp3extractfirst"), "n");
    EXPECT_EQ(stored("logouse"), "n");
    EXPECT_EQ(stored("allowsamefile"), "n");
    EXPECT_EQ(stored("logopath"), logo);
    EXPECT_EQ(stored("logocorner"), "4");
    EXPECT_EQ(stored("logox"), "12");
    EXPECT_EQ(stored("logoy"), "5");
}

// A store from a machine with more processors shows this machine's most; what is confirmed is stored.
TEST_F(OptionsDialogTest, FilesAtOnceGoFromOneToTheProcessors) {
    const int processors = static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u));
    store.setOption("parallel", "999");
    OptionsDialog dialog(store, programFolder);
    auto* parallel = child<QSpinBox>(&dialog, "parallel");
    EXPECT_EQ(parallel->minimum(), 1);
    EXPECT_EQ(parallel->maximum(), processors);
    EXPECT_EQ(parallel->value(), processors);
    parallel->setValue(1);
    test::findButton(&dialog, QStringLiteral("확 인"))->click();
    EXPECT_EQ(stored("parallel"), "1");
}

TEST_F(OptionsDialogTest, CancelStoresNothingButTheLogoChosenWithBrowse) {
    const std::string oldLogo = folder / "old/old logo.png";
    const std::string newLogo = folder / "새 로고/logo.png";
    test::writeFile(oldLogo, "png");
    test::writeFile(newLogo, "png");
    store.setOption("logopath", oldLogo);
    store.setOption("logocorner", "2");

    OptionsDialog dialog(store, programFolder);
    EXPECT_TRUE(checked(&dialog, "logocorner2"));
    child<QCheckBox>(&dialog, "closetotray")->click();
    child<QRadioButton>(&dialog, "logocorner3")->click();

    QString startFolder;
    QString caption;
    test::whenModalShows([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr);
        caption = files->windowTitle();
        startFolder = files->directory().absolutePath();
        // Typed as a user would: selectFile() leaves a focused name box alone.
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(toQt(newLogo));
        static_cast<QDialog*>(files)->accept();
        // A refused name keeps the dialog open: end it so the test fails instead of hanging.
        if (files->isVisible()) static_cast<QDialog*>(files)->reject();
    });
    test::findButton(&dialog, QStringLiteral("찾기"))->click();
    EXPECT_EQ(caption, QStringLiteral("원본 동영상을 선택해주세요."));
    EXPECT_EQ(startFolder, toQt(folder / "old"));
    EXPECT_EQ(child<QLineEdit>(&dialog, "logopath")->text(), toQt(newLogo));
    EXPECT_EQ(stored("logopath"), newLogo);

    test::findButton(&dialog, QStringLiteral("취 소"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(stored("logopath"), newLogo);
    EXPECT_EQ(stored("logocorner"), "2");
    EXPECT_EQ(stored("closetotray"), "(missing)");
    EXPECT_EQ(stored("allowsamefile"), "(missing)");
}

// ---- "상세정보"

struct MediaDetailDialogTest : OptionsFixture {
    MediaInfoLibrary& library = MediaInfoLibrary::instance();
    MediaSummary kept;

    void SetUp() override { ASSERT_TRUE(library.isLoaded()) << library.loadError(); }

    QString report(QWidget* dialog) { return child<QPlainTextEdit>(dialog, "report")->toPlainText(); }
};

TEST_F(MediaDetailDialogTest, TheLevelComesFromTheStoreAndIsStoredOnClosing) {
    const std::string media = test::testMedia("av.mp4");
    {
        MediaDetailDialog dialog(library, store, kept, media, nullptr);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("상세정보"));
        EXPECT_TRUE(checked(&dialog, "level2"));
        ASSERT_FALSE(kept.informNormal.empty());
        EXPECT_EQ(report(&dialog), toQt(kept.informNormal));
        test::findButton(&dialog, QStringLiteral("닫 기"))->click();
        EXPECT_EQ(dialog.result(), MediaDetailDialog::kClosedResult);
    }
    EXPECT_EQ(stored("lastdetail"), "2");

    {
        MediaDetailDialog dialog(library, store, kept, media, nullptr);
        child<QRadioButton>(&dialog, "level1")->click();
        EXPECT_EQ(report(&dialog), toQt(kept.informSummary));
        child<QRadioButton>(&dialog, "level3")->click();
        ASSERT_NE(kept.informComplete, kept.informNormal);
        EXPECT_EQ(report(&dialog), toQt(kept.informComplete));
        // The window's own close button ends it like "닫 기".
        dialog.show();
        dialog.close();
        EXPECT_EQ(dialog.result(), MediaDetailDialog::kClosedResult);
    }
    EXPECT_EQ(stored("lastdetail"), "3");

    MediaDetailDialog dialog(library, store, kept, media, nullptr);
    EXPECT_TRUE(checked(&dialog, "level3"));
    EXPECT_EQ(report(&dialog), toQt(kept.informComplete));
}

TEST_F(MediaDetailDialogTest, AnUnknownLevelSelectsNothingAndStoresNothing) {
    store.setOption("lastdetail", "5");
    MediaDetailDialog dialog(library, store, kept, test::testMedia("av.mp4"), nullptr);
    for (const char* level : {"level1", "level2", "level3"}) EXPECT_FALSE(checked(&dialog, level)) << level;
    EXPECT_EQ(report(&dialog), "");
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), MediaDetailDialog::kClosedResult);
    EXPECT_EQ(stored("lastdetail"), "5");
}

TEST_F(MediaDetailDialogTest, CopyingAnEmptyReportDoesNothing) {
    QGuiApplication::clipboard()->setText("before");
    ModalCatcher catcher;
    // A missing file is not probed: the kept reports, empty so far, are shown.
    MediaDetailDialog dialog(library, store, kept, folder / "missing.mp4", nullptr);
    EXPECT_EQ(report(&dialog), "");
    test::findButton(&dialog, QStringLiteral("내용복사"))->click();
    EXPECT_EQ(catcher.count, 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
}

TEST_F(MediaDetailDialogTest, ALongReportIsCopiedCutToItsFirstCharacters) {
    QString normal;
    for (int i = 0; i < 10300; ++i) normal += QChar(u'가' + i % 100);
    kept.informNormal = fromQt(normal);
    // The file is gone since the last opening: its reports stay on show.
    MediaDetailDialog dialog(library, store, kept, folder / "deleted.mp4", nullptr);
    ASSERT_EQ(report(&dialog), normal);

    ModalCatcher catcher;
    test::findButton(&dialog, QStringLiteral("내용복사"))->click();
    EXPECT_EQ(catcher.count, 1);
    EXPECT_EQ(catcher.title, QStringLiteral("안내"));
    EXPECT_EQ(catcher.text, QStringLiteral("미디어파일 상세정보를 복사하였습니다."));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), normal.left(kMaxCopiedReportChars));
}

TEST(CutReport, NeverSplitsACharacterOfTwoUnits) {
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(cutReport(QString(10238, u'a') + face + "b", kMaxCopiedReportChars), QString(10238, u'a'));
    EXPECT_EQ(cutReport(QString(10237, u'a') + face + "b", kMaxCopiedReportChars), QString(10237, u'a') + face);
    EXPECT_EQ(cutReport("짧은 보고", kMaxCopiedReportChars), "짧은 보고");
}

// ---- "테스트 인코딩"

TEST(TestEncodeDialog, TheFieldTakesOnlyDigitsAndReadsAsANumber) {
    TestEncodeDialog dialog(5);
    auto* field = child<QLineEdit>(&dialog, "seconds");
    EXPECT_EQ(field->text(), "5");
    EXPECT_EQ(dialog.seconds(), 5);

    field->clear();
    QTest::keyClicks(field, "abc");
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(dialog.seconds(), 0);
    // Text that bypassed the keyboard reads as no number all the same.
    field->setText("abc");
    EXPECT_EQ(dialog.seconds(), 0);

    field->clear();
    QTest::keyClicks(field, "1x2");
    EXPECT_EQ(dialog.seconds(), 12);
}

// ---- The finish dialog's folder

TEST(FinishFolderTarget, OnlyASingleExistingFileIsSelected) {
    test::TempFolder folder;
    const std::string output = folder / "결과 파일.mp4";
    test::writeFile(output, "video");

    const FinishFolderTarget single = finishFolderTarget(output, 1, folder.path());
    EXPECT_EQ(single.path, output);
    EXPECT_TRUE(single.selectFile);

    for (const FinishFolderTarget& target :
         {finishFolderTarget(output, 2, folder.path()), finishFolderTarget("", 1, folder.path())}) {
        EXPECT_EQ(target.path, folder.path());
        EXPECT_FALSE(target.selectFile);
    }

    std::filesystem::remove(output);
    const FinishFolderTarget deleted = finishFolderTarget(output, 1, folder.path());
    EXPECT_EQ(deleted.path, folder.path());
    EXPECT_FALSE(deleted.selectFile);
}

// ---- "자동종료"

TEST(ShutdownCountdown, CountsDownEverySecondThenAccepts) {
    constexpr int kTickMs = 30;
    ShutdownCountdown countdown(3);
    countdown.setTickIntervalMs(kTickMs);
    QStringList shown;
    QObject::connect(child<QLineEdit>(&countdown, "secondsLeft"), &QLineEdit::textChanged,
                     [&](const QString& text) { shown << text; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(countdown.exec(), QDialog::Accepted);
    EXPECT_EQ(shown, (QStringList{"3", "2", "1"}));
    // The last number stays up for a whole tick before the end (timers may fire 5% early).
    EXPECT_GE(clock.elapsed(), 3 * kTickMs * 95 / 100);
}

TEST(ShutdownCountdown, ACountOfZeroEndsAtOnce) {
    ShutdownCountdown countdown(0);
    EXPECT_EQ(countdown.exec(), QDialog::Accepted);
    EXPECT_EQ(child<QLineEdit>(&countdown, "secondsLeft")->text(), "");
}

TEST(ShutdownCountdown, CancelAndEscapeReject) {
    ShutdownCountdown byButton(30);
    test::clickInNextModal(QStringLiteral("PC종료 취소"));
    EXPECT_EQ(byButton.exec(), QDialog::Rejected);

    ShutdownCountdown byEscape(30);
    test::whenModalShows([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(byEscape.exec(), QDialog::Rejected);
}

// ---- The program icon

TEST(AppIcon, EveryShippedSizeIsThere) {
    const QIcon icon = appIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 32, 48, 64, 128, 256}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    EXPECT_FALSE(icon.pixmap(48, 48).isNull());
}

}  // namespace
}  // namespace torvane::app
