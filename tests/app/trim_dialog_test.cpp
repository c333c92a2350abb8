// "구간설정" with a recording stand-in for the player, and with the real mplayer drawing into
// the panel on an X server.
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
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>

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

TEST_F(TrimDialogTest, ThePlayerDrawsIntoThePanelOpensPausedAndEndsWithTheDialog) {
    TrimDialog dialog(item_, recorder_.path());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("구간설정"));
    const pid_t pid = open(dialog);
    EXPECT_EQ(arguments_.back(), item_.sourcePath);
    const auto wid = std::find(arguments_.begin(), arguments_.end(), "-wid");
    ASSERT_NE(wid, arguments_.end());
    EXPECT_EQ(*(wid + 1), std::to_string(dialog.videoPanel()->winId()));
    EXPECT_TRUE(dialog.videoPanel()->testAttribute(Qt::WA_NativeWindow));
    EXPECT_EQ(recorder_.nextLine(), "pausing seek 0 2");
    EXPECT_FALSE(dialog.player().playingFlag());
    EXPECT_EQ(child<QSlider>(&dialog, "positionSlider")->value(), 0);
    child<QPushButton>(&dialog, "endFromPlayer")->click();
    EXPECT_EQ(child<QLineEdit>(&dialog, "endEdit")->text(), QStringLiteral("00:00:12.500"));

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), TrimDialog::kCancelled);
    EXPECT_FALSE(dialog.player().isRunning());
    EXPECT_EQ(::kill(pid, 0), -1);              // ended and reaped
    EXPECT_EQ(dialog.range().endSeconds, 0.0);  // nothing taken over
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

// TrimDialogOnX: the real mplayer, registered a second time to run on an X server
// (scripts/with-display.sh), where it can draw into the panel; on the offscreen platform they
// have nothing to check.
TEST(TrimDialogOnX, TheSliderFollowsPlaybackSeeksLandNearTheTargetAndCancelKeepsNothing) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "needs an X server";
    const std::string mplayer = findProgram("", "mplayer");
    ASSERT_FALSE(mplayer.empty());
    test::TempFolder folder;
    SourceItem item;
    item.sourcePath = folder / "8초 클립.mp4";
    // A key frame every second: the player can land within half a second of any target.
    const test::ProgramResult made = test::makeClip(item.sourcePath, 8, "64x48", 25, true);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    item.media.durationExact = 8.0f;
    item.rangeStartSeconds = 1;

    TrimDialog dialog(item, mplayer);
    dialog.show();
    PreviewPlayer& player = dialog.player();
    // Opened paused on the first frame.
    const std::optional<double> opened = player.currentPosition(10s);
    ASSERT_TRUE(opened);
    EXPECT_LE(*opened, 0.2);
    EXPECT_FALSE(player.playingFlag());
    auto* slider = child<QSlider>(&dialog, "positionSlider");
    const auto sliderSeconds = [slider] { return 8.0 * slider->value() / slider->maximum(); };

    // Seeks while paused: 80 % (forward to 7 s is too far: back to 6 s), 46 % (3 s is too far
    // back: forward again to 4 s), 15 %.
    for (const int percent : {80, 46, 15}) {
        slider->setValue(percent);
        const double target = 8.0 * percent / 100;
        const std::optional<double> landed = player.currentPosition(10s);
        ASSERT_TRUE(landed) << percent;
        EXPECT_NEAR(*landed, target, 0.5) << percent;
        EXPECT_NEAR(sliderSeconds(), *landed, 0.1) << percent;
    }

    // Playing: the slider follows the clip. The player is asked where it is more often than the
    // dialog asks, so that the slider is seen between its moves too.
    std::vector<double> gaps;
    QTimer sampler;
    sampler.setInterval(70);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const std::optional<double> now = player.currentPosition(1s);
        // Near its end the clip may be over before the slider's last move.
        if (now && *now < 7.5) gaps.push_back(std::abs(sliderSeconds() - *now));
    });
    test::findButton(&dialog, QStringLiteral("재생"))->click();
    sampler.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sliderSeconds() >= 5.0; }, 15000));
    sampler.stop();
    ASSERT_GE(gaps.size(), 10u);
    EXPECT_LE(*std::max_element(gaps.begin(), gaps.end()), 0.5);

    // "취 소" keeps nothing of what was typed and ends the player.
    child<QLineEdit>(&dialog, "endEdit")->setText(QStringLiteral("0:00:05"));
    QAbstractButton* cancel = test::findButton(&dialog, QStringLiteral("취 소"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isVisible());
    cancel->click();
    EXPECT_EQ(dialog.result(), TrimDialog::kCancelled);
    EXPECT_FALSE(player.isRunning());
    EXPECT_EQ(dialog.range().startSeconds, 1.0);
    EXPECT_EQ(dialog.range().endSeconds, 0.0);
}

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
