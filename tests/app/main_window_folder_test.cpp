#include <QPushButton>
#include <cstdlib>

#include "app/main_window_fixture.h"
#include "app/qt_text.h"
#include "app/window_test_support.h"

namespace torvane::app {
namespace {

using test::MainWindowTest;

// Nothing on PATH can open a folder: "폴더열기" says so, naming the folder.
TEST_F(MainWindowTest, OpenFolderThatCannotOpenAnythingSaysSo) {
    MainWindow& w = window();
    torvane::test::TempFolder emptyPath;
    const std::string savedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", emptyPath.path().c_str(), 1);
    QString message;
    torvane::test::clickInNextModal(QStringLiteral("확인"), &message);
    w.widgets().openFolderButton->click();
    ::setenv("PATH", savedPath.c_str(), 1);
    EXPECT_TRUE(message.contains(toQt(output_.path()))) << fromQt(message);
}

}  // namespace
}  // namespace torvane::app
