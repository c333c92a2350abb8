// The window and the settings dialog on small screens. These run once per screen size, each
// in its own process whose screen is set before Qt starts (see CMakeLists.txt): on Qt's
// offscreen platform through its screen configuration, and on Xvfb.
#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QWindow>
#include <cstdlib>

#include "app/main_window_fixture.h"
#include "app/settings_dialog.h"
#include "app/window_test_support.h"

namespace torvane::app {
namespace {

using test::MainWindowTest;

// The screen this process was started for ("1024x600"), or none outside those runs.
std::optional<QSize> screenUnderTest() {
    const char* size = std::getenv("TORVANE_TEST_SCREEN");
    if (size == nullptr) return std::nullopt;
    const QStringList parts = QString::fromLatin1(size).split(QLatin1Char('x'));
    if (parts.size() != 2) return std::nullopt;
    return QSize(parts[0].toInt(), parts[1].toInt());
}

// Every button the user can see lies on the screen, whole and not cut by its parents. A button
// inside a scroll area is scrolled into view first, as Tab or the wheel would.
void expectEveryButtonOnScreen(QWidget& top, const QString& what) {
    const QRect screen = top.screen()->availableGeometry();
    int checked = 0;
    for (QAbstractButton* button : top.findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(&top) || button->window() != &top) continue;
        for (QWidget* up = button->parentWidget(); up != nullptr; up = up->parentWidget()) {
            if (auto* scroll = qobject_cast<QScrollArea*>(up)) scroll->ensureWidgetVisible(button, 0, 0);
        }
        QApplication::processEvents();
        const QRect global(button->mapToGlobal(QPoint(0, 0)), button->size());
        EXPECT_TRUE(screen.contains(global))
            << what.toStdString() << ": \"" << button->text().toStdString() << "\" at " << global.x() << ","
            << global.y() << " " << global.width() << "x" << global.height();
        EXPECT_EQ(button->visibleRegion().boundingRect(), button->rect())
            << what.toStdString() << ": \"" << button->text().toStdString() << "\" is cut";
        ++checked;
    }
    EXPECT_GT(checked, 4) << what.toStdString();
}

class WindowOnScreen : public MainWindowTest {
protected:
    void SetUp() override {
        const std::optional<QSize> size = screenUnderTest();
        if (!size) GTEST_SKIP() << "runs on a screen of its own size (WindowOnScreen.* in tests/app/CMakeLists.txt)";
        // A run on a screen of another size would prove nothing.
        ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().size(), *size);
    }
};

TEST_F(WindowOnScreen, EveryButtonOfTheWindowAndTheSettingsDialogLiesOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // The support server's notice area, switched on, gives up its room on a small screen.
    if (screen.height() < 700) options_.setOption("ad", "y");
    MainWindow& main = window();
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_TRUE(screen.contains(main.frameGeometry()))
        << main.frameGeometry().width() << "x" << main.frameGeometry().height();
    expectEveryButtonOnScreen(main, QStringLiteral("main window"));
    if (screen.height() < 700) {
        EXPECT_FALSE(main.widgets().notice->isVisible());
    }

    // The settings dialog, as "현재 설정값 변경 ▶" opens it.
    bool checked = false;
    torvane::test::whenModalShows([&](QWidget* dialog) {
        EXPECT_TRUE(screen.contains(dialog->frameGeometry()))
            << dialog->frameGeometry().width() << "x" << dialog->frameGeometry().height();
        expectEveryButtonOnScreen(*dialog, QStringLiteral("settings dialog"));
        checked = true;
        torvane::test::findButton(dialog, QStringLiteral("취 소"))->click();
    });
    main.widgets().changeSettingsButton->click();
    EXPECT_TRUE(checked);
}

TEST_F(WindowOnScreen, TheWindowOpensWhereItWasClosedAndNeverLargerThanTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    {
        MainWindow& main = window();
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        // A place a window manager could give it: below the top by more than a title bar.
        main.setGeometry(QRect(screen.topLeft() + QPoint(20, 40), QSize(1000, 540)));
        QApplication::processEvents();
        main.close();
    }
    const QRect closedAt = window_->geometry();
    window_.reset();
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    EXPECT_EQ(window_->geometry(), closedAt);
    window_.reset();

    // A place remembered on a larger screen is brought onto this one.
    options_.setOption("windowplace", "3000,2000,2560,1440,0");
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    EXPECT_TRUE(screen.contains(window_->frameGeometry()));
}

}  // namespace
}  // namespace torvane::app
