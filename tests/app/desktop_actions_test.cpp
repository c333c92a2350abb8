#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/desktop_actions.h"
#include "app/power_control.h"
#include "app/private_bus.h"
#include "app/qt_text.h"
#include "platform/user_folders.h"
#include "support/test_support.h"

namespace torvane::app {
namespace {

// ---- The player

TEST(PlayerArguments, MplayerAcceptsThemAndReadsKoreanSubtitlesBesideTheFile) {
    const std::string mplayer = findProgram(test::buildDir(), "mplayer");
    ASSERT_FALSE(mplayer.empty());
    test::TempFolder folder;
    // A name that would be an option if it came first, with Hangul and a blank.
    const std::string movie = folder / "-자막 영상.mp4";
    std::filesystem::copy_file(test::testMedia("with_subtitle.mp4"), movie);
    std::filesystem::copy_file(test::testMedia("with_subtitle.smi"), folder / "-자막 영상.smi");

    // Only the outputs are replaced, so nothing shows or sounds on the test machine.
    std::vector<std::string> argv{mplayer, "-vo", "null", "-ao", "null", "-frames", "1", "-v"};
    for (const QString& argument : playerArguments(movie)) argv.push_back(fromQt(argument));
    const test::ProgramResult movieRun = test::runProgram(argv);
    EXPECT_EQ(movieRun.exitCode, 0) << movieRun.err;
    EXPECT_EQ(movieRun.out.find("Error parsing option"), std::string::npos) << movieRun.out;
    EXPECT_NE(movieRun.out.find("Playing " + movie), std::string::npos) << movieRun.out;
    // The CP949 subtitle is decoded, not shown as raw bytes.
    EXPECT_NE(movieRun.out.find("SUB: opened iconv descriptor"), std::string::npos) << movieRun.out;
    EXPECT_NE(movieRun.out.find("SUB: Read 2 subtitles, 0 bad line(s)"), std::string::npos) << movieRun.out;
}

// Everything written into the FIFO until its writer closes it, waiting at most timeoutMs for
// each piece.
std::string readFifo(int fd, int timeoutMs) {
    std::string data;
    pollfd watched{fd, POLLIN, 0};
    while (::poll(&watched, 1, timeoutMs) > 0) {
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            data.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EAGAIN) {
            break;
        }
    }
    return data;
}

TEST(PlayFile, StartsThePlayerOfTheProgramFolderOnItsOwn) {
    test::TempFolder programFolder;
    // A player that only tells how it was started: a test must not play sound or open windows.
    const std::string player = programFolder / "mplayer";
    test::writeFile(player, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    ASSERT_EQ(::chmod(player.c_str(), 0755), 0);
    const std::string fifo = player + ".args";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    ASSERT_TRUE(playFile(programFolder.path(), "/clips/첫 영상.mp4"));
    EXPECT_EQ(readFifo(reader, 10000), "-subcp\ncp949\n-noconsolecontrols\n--\n/clips/첫 영상.mp4\n");
    ::close(reader);
}

TEST(PlayFile, AMissingPlayerStartsNothing) {
    test::TempFolder programFolder;
    test::TempFolder emptyPath;
    const std::string savedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", emptyPath.path().c_str(), 1);
    const bool played = playFile(programFolder.path(), test::testMedia("av.mp4"));
    ::setenv("PATH", savedPath.c_str(), 1);
    EXPECT_FALSE(played);
}

// ---- The file manager

TEST(OpenFolder, AFolderThatIsNotThereStartsNothing) {
    test::TempFolder folder;
    EXPECT_FALSE(openFolder(folder / "never made"));
    test::writeFile(folder / "file.mp4", "video");
    EXPECT_FALSE(openFolder(folder / "file.mp4"));
}

// xdg-open stand-ins on PATH: one that cannot open the folder (xdg-open's status 4, "the action
// failed"), one that opens it and ends, and one that runs the file manager itself and stays.
TEST(OpenFolder, TheOpenersVerdictIsPassedOn) {
    test::TempFolder bin;
    test::TempFolder folder;
    const std::string opener = bin / "xdg-open";
    const std::string savedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", (bin.path() + ":" + savedPath).c_str(), 1);
    const auto openWith = [&](const std::string& script) {
        test::writeFile(opener, "#!/bin/sh\n" + script);
        EXPECT_EQ(::chmod(opener.c_str(), 0755), 0);
        return openFolder(folder.path());
    };
    EXPECT_FALSE(openWith("exit 4\n"));
    EXPECT_TRUE(openWith("test \"$1\" = '" + folder.path() + "'\n"));
    const std::string pidFile = bin / "pid";
    EXPECT_TRUE(openWith("echo $$ > '" + pidFile + "'\nexec sleep 60\n"));
    ::setenv("PATH", savedPath.c_str(), 1);
    const int pid = std::stoi(test::readFile(pidFile));
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(test::processEndsWithin(pid, std::chrono::seconds(10)));
}

// Stands in for the desktop's file manager on a private bus and keeps what it was asked.
class FileManagerRecorder : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shownUris;

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        Q_UNUSED(startupId);
        shownUris << uris;
    }
};

TEST(ShowItemsOverBus, AsksTheFileManagerToShowTheFile) {
    test::TempFolder folder;
    test::PrivateBus bus(folder.path());
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    const std::string file = folder / "결과 파일 #1.mp4";
    test::writeFile(file, "video");
    {
        QDBusConnection client = QDBusConnection::connectToBus(bus.address, QStringLiteral("torvane-test-client"));
        QDBusConnection service = QDBusConnection::connectToBus(bus.address, QStringLiteral("torvane-test-fm"));
        ASSERT_TRUE(client.isConnected());
        ASSERT_TRUE(service.isConnected());

        // Nobody answers yet: the caller falls back to opening the folder.
        EXPECT_FALSE(showItemsOverBus(client, file));

        FileManagerRecorder fileManager;
        ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        EXPECT_TRUE(showItemsOverBus(client, file));
        ASSERT_EQ(fileManager.shownUris.size(), 1);
        const QUrl shown(fileManager.shownUris.front(), QUrl::StrictMode);
        EXPECT_EQ(shown.scheme(), "file");
        EXPECT_EQ(fromQt(shown.toLocalFile()), file);
        service.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("torvane-test-client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("torvane-test-fm"));
}

// ---- Power

// The system's power control with the system left out: it records what it would have asked.
class RecordingPowerControl : public LogindPowerControl {
public:
    std::vector<PowerRequest> requests;
    bool systemAgrees = true;

protected:
    bool request(PowerRequest what) override {
        requests.push_back(what);
        return systemAgrees;
    }
};

TEST(PowerAction, ShutdownAndRestartAreTheOnlyRequests) {
    RecordingPowerControl power;
    EXPECT_TRUE(power.powerAction("shutdown"));
    EXPECT_TRUE(power.powerAction("restart"));
    EXPECT_EQ(power.requests, (std::vector<PowerRequest>{PowerRequest::PowerOff, PowerRequest::Reboot}));

    power.requests.clear();
    for (const char* other : {"", "Shutdown", "shutdown ", "poweroff", "reboot", "logoff"}) {
        EXPECT_FALSE(power.powerAction(other)) << other;
    }
    EXPECT_TRUE(power.requests.empty());

    // A refusal by the system is passed on, not taken for success.
    power.systemAgrees = false;
    EXPECT_FALSE(power.powerAction("shutdown"));
}

}  // namespace
}  // namespace torvane::app

#include "desktop_actions_test.moc"
