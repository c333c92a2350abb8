#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "run/owner_wakeup.h"
#include "run/run_observer.h"

namespace torvane::cli {

// Shows a run on a terminal: one progress line per item, redrawn in place with a bar, the
// percent, speed, remaining time and the overall percent. Not on a terminal, a plain line is
// written each time the item's percent changes. Messages go to the error stream.
class TerminalProgress : public RunObserver {
public:
    TerminalProgress(std::ostream& out, std::ostream& err, bool isTerminal);

    // The file name of each row, for the progress lines.
    void setRowNames(std::vector<std::string> names) { names_ = std::move(names); }
    // Ends the progress line of the last item.
    void finish();

    OwnerWakeup wakeup;
    std::size_t messagesShown = 0;

    void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool askYesNo(std::string_view caption, std::string_view text) override;
    void wakeOwner() override { wakeup.wake(); }
    void setCellText(std::size_t row, std::size_t column, std::string_view text) override;
    void selectRow(std::size_t row) override;
    void showCurrentProgress(std::string_view percentText, int bar) override;
    void showOverallProgress(std::string_view percentText, int bar) override;
    void showSpeed(std::string_view text) override;
    void showRemainingTime(std::string_view text) override;
    void showStopping() override;

private:
    void draw();

    std::ostream& out_;
    std::ostream& err_;
    bool isTerminal_;
    std::vector<std::string> names_;
    std::size_t row_ = 0;
    bool lineOpen_ = false;
    int percent_ = 0;
    std::string cell_;
    std::string speed_;
    std::string remaining_;
    std::string overall_ = "0%";
    std::string lastPlainLine_;
};

}  // namespace torvane::cli
