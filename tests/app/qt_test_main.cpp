// The window tests run on Qt's offscreen platform: no display is needed, and every widget,
// dialog and timer behaves as on a desktop. They get a home folder of their own, so the
// window's default output folder and stored options never touch the real user's.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string home = (std::filesystem::temp_directory_path() / "torvane-window-home.XXXXXX").string();
    if (mkdtemp(home.data()) == nullptr) return 1;
    setenv("HOME", home.c_str(), 1);
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "TORVANE_CONFIG_DIR"}) {
        unsetenv(name);
    }
    // Nor do they reach the desktop's buses (a real sleep lock, notifications on the tester's
    // screen): a test that wants a bus starts its own.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/torvane-test-no-bus", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/torvane-test-no-bus", 1);

    // Qt's browser control (the web panels) wants shared GL contexts, and no sandbox as root.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);

    int status = 0;
    {
        QApplication application(argc, argv);
        testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return status;
}
