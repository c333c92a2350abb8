#pragma once

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/power_control.h"
#include "media/mediainfo_library.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "support/test_support.h"

namespace torvane::app::test {

// Powering the test machine off must never happen: the window gets this instead.
class RecordingPowerControl : public PowerControl {
public:
    bool powerAction(std::string_view mode) override {
        requests.emplace_back(mode);
        return true;
    }
    std::vector<std::string> requests;
};

// A main window over the build folder's catalogue and presets, with options and output in the
// test's own folders and the real MediaInfo library.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : options_(config_.path()) {
        EXPECT_TRUE(catalogue_.loadCatalogue(torvane::test::buildDir() + "/torvane.ini"));
        std::filesystem::create_directories(output_.path());
        options_.setOption("lastoutdir", output_.path());
        options_.setOption("viewsettingonpreset", "n");
    }

    MainWindow& window() {
        if (!window_) {
            window_ = std::make_unique<MainWindow>(
                AppServices{torvane::test::buildDir(), &catalogue_, &options_, &MediaInfoLibrary::instance(), &power_,
                            false, keepQueueJournal_, [this] { return systemTrayAvailable_; }});
        }
        return *window_;
    }

    // Adds the files and waits until every one has been probed and accepted or refused.
    void addAndWait(const std::vector<std::string>& paths) {
        QStringList list;
        for (const std::string& path : paths) list << QString::fromStdString(path);
        QSignalSpy added(&window(), &MainWindow::filesAdded);
        window().addFiles(list);
        ASSERT_TRUE(added.wait(30000));
    }

    torvane::test::TempFolder config_;
    torvane::test::TempFolder output_;
    FormatCatalogue catalogue_;
    OptionStore options_;
    RecordingPowerControl power_;
    std::unique_ptr<MainWindow> window_;
    // The window keeps the queue journal (in the test's own home) only where a test asks.
    bool keepQueueJournal_ = false;
    // Whether the desktop shows tray icons, whatever the platform the tests run on.
    bool systemTrayAvailable_ = false;
};

}  // namespace torvane::app::test
