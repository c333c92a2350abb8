#include "app/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <filesystem>

#include "app/qt_text.h"
#include "support/test_support.h"

namespace torvane::app {
namespace {

// The real program, started a second time with files, hands them to the copy that runs and
// ends; the name in the temporary folder that the hand-off once used is squatted by a socket
// that takes every connection and answers nothing, and must not matter.
TEST(SingleInstance, ASecondStartHandsItsFilesToTheFirstAndEnds) {
    test::TempFolder runtime;  // $XDG_RUNTIME_DIR of both copies
    test::TempFolder tmp;      // their $TMPDIR
    QLocalServer squatter;
    ASSERT_TRUE(squatter.listen(toQt(tmp / ("torvane-" + std::to_string(::getuid())))));

    const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = savedRuntime != nullptr ? savedRuntime : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const QString folder = SingleInstance::defaultFolder();
    if (savedRuntime != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    EXPECT_EQ(folder, toQt(runtime / "torvane"));
    SingleInstance first(folder, SingleInstance::defaultName());
    ASSERT_EQ(first.claim(), InstanceClaim::First);
    QSignalSpy shown(&first, &SingleInstance::showRequested);
    QSignalSpy files(&first, &SingleInstance::filesRequested);

    // Whatever characters their paths hold.
    const QStringList given{QStringLiteral("/media/여행 1.mp4"), QStringLiteral("/media/odd\nname %20.avi"),
                            QStringLiteral("/media/the end")};
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), toQt(runtime.path()));
    environment.insert(QStringLiteral("TMPDIR"), toQt(tmp.path()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TORVANE_CONFIG_DIR"), toQt(tmp / "config"));
    second.setProcessEnvironment(environment);
    second.start(toQt(test::buildDir() + "/torvane"), given);
    QSignalSpy ended(&second, &QProcess::finished);
    EXPECT_TRUE(files.wait(10000));
    ASSERT_EQ(files.count(), 1);
    EXPECT_EQ(files.at(0).at(0).toStringList(), given);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_TRUE(ended.count() == 1 || ended.wait(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
}

TEST(SingleInstance, AStartThatCannotReachTheFirstOrTrustTheFolderRunsOnItsOwn) {
    // A copy that holds the lock but does not listen (hung, or its socket removed).
    test::TempFolder folder;
    QLockFile held(toQt(folder / "instance.lock"));
    ASSERT_TRUE(held.tryLock(0));
    SingleInstance second(toQt(folder.path()), QStringLiteral("instance"));
    EXPECT_EQ(second.claim({QStringLiteral("/media/a.mp4")}), InstanceClaim::Unreachable);
    held.unlock();

    // A folder that others may enter, a link to a folder of ours, or none: nothing is put there.
    const std::string open = folder / "open";
    std::filesystem::create_directory(open);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    const std::string link = folder / "link";
    const std::string ours = folder / "ours";
    std::filesystem::create_directory(ours);
    ASSERT_EQ(::chmod(ours.c_str(), 0700), 0);
    std::filesystem::create_directory_symlink(ours, link);
    for (const std::string& refused : {open, link, std::string()}) {
        SingleInstance start(toQt(refused), QStringLiteral("instance"));
        EXPECT_EQ(start.claim(), InstanceClaim::NoPrivateFolder) << refused;
    }
    EXPECT_TRUE(std::filesystem::is_empty(open));
    EXPECT_TRUE(std::filesystem::is_empty(ours));
}

TEST(SingleInstance, TheNameIsFreeAgainOnceTheFirstHasEnded) {
    test::TempFolder folder;
    {
        SingleInstance first(toQt(folder.path()), QStringLiteral("instance"));
        ASSERT_EQ(first.claim(), InstanceClaim::First);
    }
    SingleInstance next(toQt(folder.path()), QStringLiteral("instance"));
    EXPECT_EQ(next.claim(), InstanceClaim::First);
}

}  // namespace
}  // namespace torvane::app
