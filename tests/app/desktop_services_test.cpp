// What the window asks of the desktop around a run and a played file: the sleep lock of
// logind, the notification at the end of a run nobody sees, and the player window of a file
// without a picture. logind and the notification server are stand-ins of the test on private
// buses, which the program reaches as its system and session buses.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QVariantMap>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/audio_player_window.h"
#include "app/main_window_fixture.h"
#include "app/private_bus.h"
#include "app/sleep_inhibitor.h"
#include "app/window_test_support.h"
#include "run/queue_controller.h"

namespace torvane::app {
namespace {

using torvane::test::TempFolder;

// The buses the program finds through DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS.
// Qt connects to each once per process, so they are set up before any test and kept to the end.
class PrivateDesktopBuses : public ::testing::Environment {
public:
    void SetUp() override {
        folder_ = std::make_unique<TempFolder>();
        std::filesystem::create_directories(*folder_ / "system");
        std::filesystem::create_directories(*folder_ / "session");
        system_ = std::make_unique<torvane::test::PrivateBus>(*folder_ / "system");
        session_ = std::make_unique<torvane::test::PrivateBus>(*folder_ / "session");
        ASSERT_FALSE(system_->address.isEmpty()) << "dbus-daemon did not start";
        ASSERT_FALSE(session_->address.isEmpty()) << "dbus-daemon did not start";
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", system_->address.toUtf8().constData(), 1);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", session_->address.toUtf8().constData(), 1);
        ASSERT_TRUE(QDBusConnection::systemBus().isConnected());
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    }
    void TearDown() override {
        system_.reset();
        session_.reset();
        folder_.reset();
    }

private:
    std::unique_ptr<TempFolder> folder_;
    std::unique_ptr<torvane::test::PrivateBus> system_;
    std::unique_ptr<torvane::test::PrivateBus> session_;
};

[[maybe_unused]] ::testing::Environment* const kBuses = ::testing::AddGlobalTestEnvironment(new PrivateDesktopBuses);

// A service object of the test on its own connection to one of the buses, under a well-known name.
class StandIn {
public:
    StandIn(QDBusConnection::BusType bus, const QString& name, const QString& service, const QString& path,
            QObject* object)
        : name_(name), service_(service), path_(path) {
        const QString address = QString::fromUtf8(
            std::getenv(bus == QDBusConnection::SystemBus ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS"));
        connection_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, name));
        EXPECT_TRUE(connection_->registerObject(path, object, QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(connection_->registerService(service));
    }
    ~StandIn() {
        connection_->unregisterService(service_);
        connection_->unregisterObject(path_);
        connection_.reset();
        QDBusConnection::disconnectFromBus(name_);
    }
    QDBusConnection& connection() { return *connection_; }

private:
    QString name_;
    QString service_;
    QString path_;
    std::unique_ptr<QDBusConnection> connection_;
};

// logind's Manager as far as Inhibit goes: each lock is a pipe whose writing end is handed out;
// the test keeps the reading end, which reports a hang-up once every copy of the other is closed.
class LogindStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    struct Lock {
        QString what, who, why, mode;
        int readEnd = -1;
    };
    ~LogindStandIn() override {
        for (const Lock& lock : locks) ::close(lock.readEnd);
    }
    std::vector<Lock> locks;

signals:
    void inhibited();

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return {};
        locks.push_back({what, who, why, mode, ends[0]});
        // The descriptor keeps a copy of its own until the answer has gone out.
        const QDBusUnixFileDescriptor handed(ends[1]);
        ::close(ends[1]);
        emit inhibited();
        return handed;
    }
};

// True once every holder of the lock has closed its copy, waiting at most timeoutMs for that.
bool lockFreedWithin(int readEnd, int timeoutMs) {
    const auto hungUp = [readEnd] {
        pollfd watched{readEnd, POLLIN, 0};
        return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLHUP) != 0;
    };
    if (hungUp() || timeoutMs == 0) return hungUp();
    // Nobody writes into the pipe: it turns readable only with the hang-up.
    QSocketNotifier notifier(readEnd, QSocketNotifier::Read);
    QSignalSpy woke(&notifier, &QSocketNotifier::activated);
    woke.wait(timeoutMs);
    return hungUp();
}

// The desktop's notification server, keeping what it was asked to show.
class NotificationsStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        uint id;
        QString appName, summary, body;
        QStringList actions;
    };
    std::vector<Shown> shown;

signals:
    void notified();

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout) {
        Q_UNUSED(replacesId);
        Q_UNUSED(appIcon);
        Q_UNUSED(hints);
        Q_UNUSED(expireTimeout);
        shown.push_back({static_cast<uint>(shown.size() + 1), appName, summary, body, actions});
        emit notified();
        return shown.back().id;
    }
};

class DesktopServicesTest : public test::MainWindowTest {
protected:
    // Clicks "변환 시작" and waits for the run and its completion action to end.
    void runToTheEnd() {
        QSignalSpy finished(&window(), &MainWindow::runFinished);
        window().widgets().startButton->click();
        ASSERT_TRUE(finished.wait(120000));
    }
    // Starts a run and holds it (paused), so that it cannot end before the test has looked.
    void startHeld() {
        window().widgets().startButton->click();
        ASSERT_TRUE(window().controller().runActive());
        window().widgets().pauseButton->click();
    }

    TempFolder sources_;
};

TEST_F(DesktopServicesTest, SleepIsLockedWhileARunGoesAndFreedAtItsEndAndAtAStop) {
    const std::string clip = sources_ / "clip.mp4";
    ASSERT_EQ(torvane::test::makeClip(clip, 4).exitCode, 0);
    addAndWait({clip});

    // Without logind the run goes on as ever, and nothing but its end is said.
    QString said;
    torvane::test::clickInNextModal(QStringLiteral("닫기"), &said);
    runToTheEnd();
    EXPECT_TRUE(said.contains(QStringLiteral("동영상 변환이 완료되었습니다."))) << said.toStdString();
    EXPECT_FALSE(window().sleepInhibitor().isHeld());

    LogindStandIn logind;
    StandIn service(QDBusConnection::SystemBus, QStringLiteral("torvane-test-logind"),
                    QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"), &logind);

    QSignalSpy taken(&window().sleepInhibitor(), &SleepInhibitor::heldChanged);
    torvane::test::clickInNextModal(QStringLiteral("아니요"));
    startHeld();
    ASSERT_TRUE(taken.wait(10000));
    ASSERT_EQ(logind.locks.size(), 1u);
    const LogindStandIn::Lock& first = logind.locks[0];
    EXPECT_EQ(first.what, QStringLiteral("sleep:idle"));
    EXPECT_EQ(first.mode, QStringLiteral("block"));
    EXPECT_EQ(first.who, QStringLiteral("토르베인"));
    EXPECT_FALSE(first.why.isEmpty());
    EXPECT_FALSE(lockFreedWithin(first.readEnd, 0));

    // The end of the run frees it.
    torvane::test::clickInNextModal(QStringLiteral("닫기"));
    QSignalSpy finished(&window(), &MainWindow::runFinished);
    window().widgets().pauseButton->click();
    ASSERT_TRUE(finished.wait(120000));
    EXPECT_TRUE(lockFreedWithin(first.readEnd, 10000));

    // So does a stop. The converted clip is converted again.
    QSignalSpy takenAgain(&window().sleepInhibitor(), &SleepInhibitor::heldChanged);
    torvane::test::clickInNextModal(QStringLiteral("아니요"));
    startHeld();
    ASSERT_TRUE(takenAgain.wait(10000));
    ASSERT_EQ(logind.locks.size(), 2u);
    EXPECT_FALSE(lockFreedWithin(logind.locks[1].readEnd, 0));
    torvane::test::clickInNextModal(QStringLiteral("확인"));
    window().widgets().stopButton->click();
    EXPECT_FALSE(window().controller().runActive());
    EXPECT_TRUE(lockFreedWithin(logind.locks[1].readEnd, 10000));
}

TEST_F(DesktopServicesTest, TheEndOfARunNobodySeesIsNotifiedAndItsClickShowsTheWindow) {
    const std::string good = sources_ / "good.mp4";
    const std::string damaged = sources_ / "damaged.mp4";
    ASSERT_EQ(torvane::test::makeClip(good, 1).exitCode, 0);
    std::filesystem::copy_file(good, damaged);
    addAndWait({good, damaged});
    // Damaged after it was added: its encoder fails.
    torvane::test::writeFile(damaged, std::string(4096, 'x'));

    NotificationsStandIn server;
    StandIn service(QDBusConnection::SessionBus, QStringLiteral("torvane-test-notifications"),
                    QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
                    &server);
    QSignalSpy notified(&server, &NotificationsStandIn::notified);

    // A window in sight says it itself.
    window().show();
    torvane::test::clickInNextModal(QStringLiteral("닫기"));
    runToTheEnd();

    // Hidden in the tray, the desktop says it. Both files are converted again.
    window().hide();
    torvane::test::whenModalShows([](QWidget* question) {
        torvane::test::clickInNextModal(QStringLiteral("닫기"));
        torvane::test::findButton(question, QStringLiteral("아니요"))->click();
    });
    runToTheEnd();
    ASSERT_TRUE(notified.count() > 0 || notified.wait(10000));
    ASSERT_EQ(server.shown.size(), 1u) << "the run in sight was notified too";
    const NotificationsStandIn::Shown& shown = server.shown[0];
    EXPECT_EQ(shown.appName, QStringLiteral("토르베인"));
    EXPECT_EQ(shown.summary, QStringLiteral("동영상 변환 완료"));
    EXPECT_EQ(shown.body, QStringLiteral("변환된 파일 1개, 실패한 파일 1개"));
    EXPECT_TRUE(shown.actions.contains(QStringLiteral("default")));
    EXPECT_FALSE(window().isVisible());

    // A click on it brings the window back.
    QDBusMessage click =
        QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                   QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    click << shown.id << QStringLiteral("default");
    ASSERT_NE(window().windowHandle(), nullptr);
    QSignalSpy shownAgain(window().windowHandle(), &QWindow::visibleChanged);
    ASSERT_TRUE(service.connection().send(click));
    ASSERT_TRUE(shownAgain.wait(10000));
    EXPECT_TRUE(window().isVisible());
}

TEST_F(DesktopServicesTest, AFileWithoutAPicturePlaysInOurWindowWithItsPositionAndAStop) {
    // No sound on the test machine: mplayer reads the test home's configuration.
    torvane::test::writeFile(std::string(std::getenv("HOME")) + "/.mplayer/config", "ao=null\n");
    const std::string song = sources_ / "노래 한 곡.mp3";
    const torvane::test::ProgramResult made = torvane::test::runProgram(
        {"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050", "-t",
         "30", "-c:a", "libmp3lame", "-b:a", "32k", song});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    addAndWait({song});

    window().widgets().sourcePlayButton->click();
    AudioPlayerWindow* player = window().audioPlayer();
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(player->isVisible());
    EXPECT_EQ(player->nameLabel()->text(), QStringLiteral("노래 한 곡.mp3"));

    // The position moves on, beside the file's length.
    QSignalSpy moved(player, &AudioPlayerWindow::positionChanged);
    double position = 0.0;
    while (position < 1.0) {
        ASSERT_TRUE(moved.count() > 0 || moved.wait(10000)) << player->positionLabel()->text().toStdString();
        position = moved.takeLast().at(0).toDouble();
        moved.clear();
    }
    EXPECT_TRUE(player->positionLabel()->text().startsWith(QStringLiteral("0:00:0")))
        << player->positionLabel()->text().toStdString();
    EXPECT_TRUE(player->positionLabel()->text().contains(QStringLiteral(" / 0:00:30")))
        << player->positionLabel()->text().toStdString();

    // Its stop ends that mplayer; the window stays and plays the file again.
    const qint64 firstPlayer = player->playerProcessId();
    ASSERT_GT(firstPlayer, 0);
    player->stopButton()->click();
    EXPECT_TRUE(torvane::test::processEnded(static_cast<int>(firstPlayer)));
    EXPECT_EQ(player->playerProcessId(), 0);
    EXPECT_TRUE(player->isVisible());
    player->stopButton()->click();
    const qint64 secondPlayer = player->playerProcessId();
    ASSERT_GT(secondPlayer, 0);
    EXPECT_NE(secondPlayer, firstPlayer);

    // Closing the window ends it too.
    player->close();
    EXPECT_TRUE(torvane::test::processEnded(static_cast<int>(secondPlayer)));
}

}  // namespace
}  // namespace torvane::app

#include "desktop_services_test.moc"
