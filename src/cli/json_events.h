#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_observer.h"

namespace torvane {
class QueueController;
}

namespace torvane::cli {

// Reports a run as JSON, one object per line, for scripts and job engines:
//   {"event":"refused","source":...,"reason":...}                     a file that did not join the list
//   {"event":"started","index":0,"source":...,"output":...}
//   {"event":"progress","index":0,"percent":42,"overall":17,"speed":1.5,"remaining":12}
//   {"event":"finished","index":0,"source":...,"result":"done|failed|stopped","reason":...,"output":...,"log":...}
//   {"event":"run-finished","done":1,"failed":0,"stopped":0,"not_started":0,"refused":0}
// "index" is the item's place in this run, "source" the path as it was given. Progress comes at
// most once a second per item, and once more just before the item's "finished" (percent 100 for
// a done item). A value not known is null; a path that is not UTF-8 is shown decoded and comes
// with its bytes in hex as "<name>_hex".
// The displays and messages go on to `shown` too, which keeps the messages on the error stream.
class JsonRunEvents : public RunObserver {
public:
    JsonRunEvents(std::ostream& out, RunObserver& shown) : out_(out), shown_(shown) {}

    void refused(std::string_view source, std::string_view reason);
    // The source path of each item of the run, as given, in run order.
    void setSources(std::vector<std::string> sources);
    // Writes what happened since the last call, as the run's results and displays tell it.
    // Call it on the owner thread after each processEvents.
    void update(const QueueController& controller);
    // The run's totals; nullptr when no run was started.
    void finish(const QueueController* controller);

    void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override {
        shown_.showMessage(caption, text, icon);
    }
    bool askYesNo(std::string_view caption, std::string_view text) override { return shown_.askYesNo(caption, text); }
    void wakeOwner() override { shown_.wakeOwner(); }
    void setCellText(std::size_t row, std::size_t column, std::string_view text) override;
    void showStatus(std::string_view text) override { shown_.showStatus(text); }
    void setRunningUi(bool running) override { shown_.setRunningUi(running); }
    void showStopping() override { shown_.showStopping(); }
    void selectRow(std::size_t row) override;
    void showCurrentProgress(std::string_view percentText, int bar) override;
    void showOverallProgress(std::string_view percentText, int bar) override;
    void showSpeed(std::string_view text) override;
    void showRemainingTime(std::string_view text) override;

private:
    struct Progress {
        int percent = 0;
        std::optional<std::string> speed;  // a JSON number: times real time
    };
    struct Item {
        bool started = false;
        bool finished = false;
        Progress latest;
        bool changed = false;  // since the last progress line
        std::optional<std::chrono::steady_clock::time_point> lastWritten;
    };

    Item& item(std::size_t index);
    void writeProgress(std::size_t index, Item& item);

    // The whole run's remaining time, the same on every item's progress line.
    std::optional<int> remainingSeconds_;
    bool progressSeen_ = false;  // the "00:00:00" a run starts with is no estimate
    std::ostream& out_;
    RunObserver& shown_;
    std::vector<std::string> sources_;
    std::vector<Item> items_;
    // The row the displays are about: in the CLI the list does not change during a run, so the
    // row is the item's index in the run.
    std::size_t currentRow_ = 0;
    int overallPercent_ = 0;
    int refused_ = 0;
};

}  // namespace torvane::cli
