// The update check on screen and the support server's panels, against a loopback HTTP server.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>
#include <chrono>

#include "app/about_dialog.h"
#include "app/update_checker.h"
#include "app/update_dialog.h"
#include "app/web_panel.h"
#include "main_window_fixture.h"
#include "support/loopback_http_server.h"
#include "update/program_version.h"
#include "window_test_support.h"

namespace torvane::app::test {
namespace {

using torvane::test::clickInNextModal;
using torvane::test::LoopbackHttpServer;
using torvane::test::whenModalShows;

const QString kProgramFolder = QString::fromStdString(torvane::test::buildDir());

DownloadLimits quickLimits() {
    DownloadLimits limits;
    limits.connect = std::chrono::seconds(2);
    limits.stalled = std::chrono::seconds(1);
    return limits;
}

class WebServicesTest : public MainWindowTest {
protected:
    WebServicesTest() { options_.setOption("updateserver", server_.address()); }

    // A checker whose installer is recorded instead of handed to the desktop.
    UpdateChecker& checker() {
        if (!checker_) {
            checker_ = std::make_unique<UpdateChecker>(
                options_, nullptr,
                [this](const std::string& path) {
                    opened_.push_back(path);
                    return true;
                },
                quickLimits());
        }
        return *checker_;
    }
    void checkAndWait(bool automatic) {
        QSignalSpy finished(&checker(), &UpdateChecker::checkFinished);
        ASSERT_TRUE(checker().checkForUpdate(automatic));
        ASSERT_TRUE(finished.wait(15000));
    }
    void offerVersion(const std::string& extra) {
        server_.setReply("/version.php", {200, "[TORVANE]\nver=999999\nmsg=첫 줄\\r\\n둘째 줄\n" + extra, false});
    }

    LoopbackHttpServer server_;
    std::unique_ptr<UpdateChecker> checker_;
    std::vector<std::string> opened_;
};

TEST_F(WebServicesTest, ReminderBoxStoresItsStateAtEachClickAndOnClosing) {
    UpdateDialog dialog(QStringLiteral("a\nb"), options_, nullptr);
    dialog.show();
    auto* putOff = dialog.findChild<QCheckBox*>(QStringLiteral("putOff"));
    ASSERT_NE(putOff, nullptr);
    EXPECT_TRUE(putOff->isChecked());
    EXPECT_EQ(dialog.findChild<QPlainTextEdit*>(QStringLiteral("message"))->toPlainText(), "a\nb");

    QTest::mouseClick(putOff, Qt::LeftButton);
    EXPECT_EQ(options_.getOption("updatecheckdontview", "x"), "0");
    QTest::mouseClick(putOff, Qt::LeftButton);
    const long long stored = options_.getOptionInt("updatecheckdontview", "0");
    EXPECT_NEAR(static_cast<double>(stored), static_cast<double>(std::time(nullptr)), 5.0);

    options_.setOption("updatecheckdontview", "0");
    whenModalShows([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), UpdateDialog::kCancel);
    EXPECT_GT(options_.getOptionInt("updatecheckdontview", "0"), 0);
}

TEST_F(WebServicesTest, ManualCheckSaysUpToDateAutomaticCheckSaysNothing) {
    server_.setReply("/version.php", {200, "[TORVANE]\nver=1\n", false});
    QString seen;
    clickInNextModal(QStringLiteral("OK"), &seen);
    checkAndWait(false);
    EXPECT_EQ(seen, QStringLiteral("최신버전을 사용하고 계십니다."));

    checkAndWait(true);  // a message box here would never be answered and the wait would fail
    const std::string asked = "/version.php?ver=" + std::to_string(torvane::kProgramVersionNumber);
    EXPECT_EQ(server_.requests(), (std::vector<std::string>{asked + "&a=0", asked + "&a=1"}));
}

TEST_F(WebServicesTest, UpdateDownloadsTheCheckedInstallerAndOpensIt) {
    // The installer lands in the private temporary folder under the runtime folder: the test's own.
    const torvane::test::TempFolder runtime;
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    server_.setReply("/setup/torvane_9.deb", {200, std::string(1000, 'd'), false});
    offerVersion("download_url=" + server_.address() + "/setup/torvane_9.deb\ndownload_size=999\n");
    QString message;
    whenModalShows([&message](QWidget* modal) {
        message = modal->findChild<QPlainTextEdit*>(QStringLiteral("message"))->toPlainText();
        torvane::test::findButton(modal, QStringLiteral("업데이트"))->click();
    });
    checkAndWait(false);
    EXPECT_EQ(message, QStringLiteral("첫 줄\n둘째 줄"));  // the text box shows CR LF as one break
    EXPECT_TRUE(opened_.empty());                          // 1000 bytes, not the 999 announced

    offerVersion("download_url=" + server_.address() + "/setup/torvane_9.deb\ndownload_size=1000\n");
    QSignalSpy opened(&checker(), &UpdateChecker::installerOpened);
    clickInNextModal(QStringLiteral("업데이트"));
    checkAndWait(false);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], runtime.path() + "/torvane/torvane_9.deb");
    EXPECT_EQ(opened.count(), 1);

    clickInNextModal(QStringLiteral("취소"));
    checkAndWait(false);
    EXPECT_EQ(opened_.size(), 1u);
    EXPECT_EQ(server_.requests().size(), 5u);  // three answers and two downloads
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
}

TEST_F(WebServicesTest, WindowChecksOnceAutomaticallyAfterOpeningAndShowsOneVersion) {
    server_.setReply("/version.php", {200, "[CONFIG]\nad=y\n[TORVANE]\nver=1\n", false});
    MainWindow window(
        AppServices{torvane::test::buildDir(), &catalogue_, &options_, &MediaInfoLibrary::instance(), &power_, true});
    // The window, the about dialog and the request all show the project's one version.
    const QString version = QString::fromLatin1(torvane::kProgramVersionText.data(),
                                                static_cast<qsizetype>(torvane::kProgramVersionText.size()));
    const auto* label = window.findChild<QLabel*>(QStringLiteral("version"));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(version.startsWith(label->text().mid(4) + ".")) << label->text().toStdString();
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("Ver ")));
    const AboutDialog about(options_, kProgramFolder, nullptr);
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("version"))->text(), QStringLiteral("버전 ") + version);
    QSignalSpy finished(&window.updateChecker(), &UpdateChecker::checkFinished);
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_EQ(server_.requests(),
              std::vector<std::string>{"/version.php?ver=" + std::to_string(torvane::kProgramVersionNumber) + "&a=1"});
    EXPECT_EQ(options_.getOption("ad", "n"), "y");  // for the panels of the next start
}

TEST_F(WebServicesTest, DeadServerEndsTheCheckSilentlyWithinItsTimeOut) {
    server_.setReply("/version.php", {200, "", true});
    const auto started = std::chrono::steady_clock::now();
    checkAndWait(false);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WebServicesTest, PanelsFollowTheStoredSwitches) {
    options_.setOption("ad", "Y");
    options_.setOption("ad2", "n");
    window().show();
    EXPECT_EQ(window().noticePanel(), nullptr);
    EXPECT_EQ(window().sidePanel(), nullptr);
    EXPECT_FALSE(window().widgets().notice->isVisible());
    window_.reset();

    if (!browserControlAvailable(kProgramFolder)) GTEST_SKIP() << "Qt's browser control is not installed";
    options_.setOption("ad", "y");
    options_.setOption("ad2", "y");
    window().show();
    ASSERT_NE(window().noticePanel(), nullptr);
    ASSERT_NE(window().sidePanel(), nullptr);
    EXPECT_TRUE(window().widgets().notice->isVisible());
    EXPECT_FALSE(window().sidePanel()->isVisible());  // only during a run

    const QUrl notice = window().noticePanel()->address();
    EXPECT_EQ(notice.path(), "/torvane/support.php");
    const QUrlQuery query(notice);
    EXPECT_EQ(query.queryItemValue("pid"), "home");
    EXPECT_EQ(query.queryItemValue("ver"), QString::number(torvane::kProgramVersionNumber));
    EXPECT_EQ(query.queryItemValue("h").toInt(), kNoticeAreaHeight);
    EXPECT_GT(query.queryItemValue("w").toInt(), 500);
    EXPECT_EQ(query.queryItemValue("ec"), "0");
    EXPECT_EQ(query.queryItemValue("it"), "0");
    // The browser really asks the server for the page.
    const auto asked = [this, &notice] {
        for (const std::string& request : server_.requests()) {
            if (QString::fromStdString(request) == notice.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority)) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(QTest::qWaitFor(asked, 20000));
}

TEST_F(WebServicesTest, AboutPageIsAskedForInTheDialogsColour) {
    if (!browserControlAvailable(kProgramFolder)) GTEST_SKIP() << "Qt's browser control is not installed";
    AboutDialog dialog(options_, kProgramFolder, nullptr);
    QSignalSpy loaded(dialog.page(), &WebPanel::addressLoaded);
    dialog.show();
    ASSERT_EQ(loaded.count(), 1);
    const QColor face = dialog.palette().color(QPalette::Window);
    EXPECT_EQ(dialog.page()->address().toString(),
              QString::fromStdString(server_.address()) + "/torvane/aboutweb.php?color=" +
                  QString::asprintf("%02x%02x%02x", face.red(), face.green(), face.blue()));
}

}  // namespace
}  // namespace torvane::app::test
