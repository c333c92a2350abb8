// "구간설정" with a recording stand-in for the player, and once with the real mplayer drawing
// into the panel on an X server.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>

#include "app/qt_text.h"
#include "app/trim_dialog.h"
#include "app/window_test_support.h"
#include "command/command_line_split.h"
#include "platform/child_process.h"
#include "platform/user_folders.h"
#include "support/recording_player.h"
#include "support/test_support.h"

namespace torvane::app {
namespace {

using namespace std::chrono_literals;

template <typename T>
T* child(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

SourceItem clip() {
    SourceItem item;
    item.sourcePath = test::testMedia("av4.mp4");
    item.media.durationExact = 4.0f;
    return item;
}

class TrimDialogTest : public ::testing::Test {
protected:
    // Shows the dialog and waits for its player: returns the player's process id.
    pid_t open(TrimDialog& dialog) {
        dialog.show();
        const std::size_t count = splitCommandLine(PreviewPlayer::commandLine("x", item_.sourcePath, 1)).size() - 1;
        const pid_t pid = recorder_.started(&arguments_, count);
        EXPECT_GT(pid, 0);
        return pid;
    }

    test::RecordingPlayer recorder_;
    SourceItem item_ = clip();
    std::vector<std::string> arguments_;
};

TEST_F(TrimDialogTest, ControlsWriteExactlyThePlayersCommandsAndClosingEndsIt) {
    TrimDialog dialog(item_, recorder_.path());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("구간설정"));
    const pid_t pid = open(dialog);
    EXPECT_EQ(arguments_.back(), item_.sourcePath);
    const auto wid = std::find(arguments_.begin(), arguments_.end(), "-wid");
    ASSERT_NE(wid, arguments_.end());
    EXPECT_EQ(*(wid + 1), std::to_string(dialog.videoPanel()->winId()));
    EXPECT_TRUE(dialog.videoPanel()->testAttribute(Qt::WA_NativeWindow));

    auto* slider = child<QSlider>(&dialog, "positionSlider");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->value(), 0);
    test::findButton(&dialog, QStringLiteral("재생"))->click();  // playing already: nothing
    slider->setValue(37);
    test::findButton(&dialog, QStringLiteral("멈춤"))->click();
    test::findButton(&dialog, QStringLiteral("멈춤"))->click();
    test::findButton(&dialog, QStringLiteral("재생"))->click();
    test::findButton(&dialog, QStringLiteral("중지"))->click();
    child<QPushButton>(&dialog, "endFromPlayer")->click();
    EXPECT_EQ(child<QLineEdit>(&dialog, "endEdit")->text(), QStringLiteral("00:00:12.500"));
    for (const char* line : {"seek 37 1\r", "p\r", "p\r", "seek 0 1\r", "pausing_keep_force get_time_pos"}) {
        EXPECT_EQ(recorder_.nextLine(), line);
    }

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), TrimDialog::kCancelled);
    EXPECT_FALSE(dialog.player().isRunning());
    EXPECT_EQ(::kill(pid, 0), -1);              // ended and reaped
    EXPECT_EQ(dialog.range().endSeconds, 0.0);  // nothing taken over
    EXPECT_FALSE(test::findButton(&dialog, QStringLiteral("취소"))->isVisible());
}

TEST_F(TrimDialogTest, OnlyARangeThatMakesSenseIsTaken) {
    item_.rangeStartSeconds = 1.5;
    TrimDialog dialog(item_, recorder_.path());
    const pid_t pid = open(dialog);
    auto* start = child<QLineEdit>(&dialog, "startEdit");
    auto* end = child<QLineEdit>(&dialog, "endEdit");
    EXPECT_EQ(start->text(), QStringLiteral("00:00:01.500"));
    EXPECT_EQ(end->text(), QString());
    EXPECT_TRUE(child<QCheckBox>(&dialog, "soundCheck")->isChecked());

    for (const char* wrong : {"abc", "1", "0:00:01.2"}) {
        end->setText(QString::fromUtf8(wrong));
        QString message;
        test::clickInNextModal(QStringLiteral("확인"), &message);
        test::findButton(&dialog, QStringLiteral("확인"))->click();
        EXPECT_FALSE(message.isEmpty()) << wrong;
        EXPECT_TRUE(dialog.isVisible()) << wrong;
        EXPECT_TRUE(dialog.player().isRunning());
    }
    end->setText(QStringLiteral("0:00:03"));
    child<QCheckBox>(&dialog, "soundCheck")->click();
    test::findButton(&dialog, QStringLiteral("확인"))->click();
    EXPECT_EQ(dialog.result(), TrimDialog::kConfirmed);
    EXPECT_EQ(dialog.range().startSeconds, 1.5);
    EXPECT_EQ(dialog.range().endSeconds, 3.0);
    EXPECT_FALSE(dialog.keepSound());
    EXPECT_EQ(::kill(pid, 0), -1);
}

// Registered a second time to run on an X server (scripts/with-display.sh), where mplayer can
// draw into the panel; on the offscreen platform it has nothing to check.
TEST(TrimDialogOnX, TheRealPlayerDrawsIntoThePanelAndEndsWithTheDialog) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "needs an X server";
    const std::string mplayer = findProgram("", "mplayer");
    ASSERT_FALSE(mplayer.empty());
    TrimDialog dialog(clip(), mplayer);
    dialog.show();
    // A player in slave mode answers where it is.
    EXPECT_TRUE(dialog.player().currentPosition(10s));
    // The panel shows the clip's coloured picture where it was black.
    QWidget* panel = dialog.videoPanel();
    const auto showsPicture = [panel] {
        const QImage image = panel->screen()->grabWindow(panel->winId()).toImage();
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                const QColor colour = image.pixelColor(x, y);
                if (colour.saturation() > 100 && colour.value() > 100) return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(QTest::qWaitFor(showsPicture, 10000));
    dialog.reject();
    EXPECT_FALSE(dialog.player().isRunning());
}

}  // namespace
}  // namespace torvane::app
