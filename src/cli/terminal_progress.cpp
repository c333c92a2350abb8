#include "cli/terminal_progress.h"

#include <algorithm>

#include "run/source_list.h"

namespace torvane::cli {

TerminalProgress::TerminalProgress(std::ostream& out, std::ostream& err, bool isTerminal)
    : out_(out), err_(err), isTerminal_(isTerminal) {}

void TerminalProgress::showMessage(std::string_view caption, std::string_view text, MessageIcon) {
    finish();
    err_ << caption << ": " << text << "\n";
    ++messagesShown;
}

bool TerminalProgress::askYesNo(std::string_view, std::string_view) {
    // On a terminal the question has been answered by the Ctrl-C that raised it.
    return true;
}

void TerminalProgress::setCellText(std::size_t row, std::size_t column, std::string_view text) {
    if (row != row_ || column != static_cast<std::size_t>(SourceColumn::Progress) || text.empty()) return;
    cell_ = std::string(text);
    draw();
}

void TerminalProgress::selectRow(std::size_t row) {
    finish();
    row_ = row;
    percent_ = 0;
    cell_.clear();
    speed_.clear();
    remaining_.clear();
    lastPlainLine_.clear();
    draw();
}

void TerminalProgress::showCurrentProgress(std::string_view, int bar) {
    percent_ = bar;
    draw();
}

void TerminalProgress::showOverallProgress(std::string_view percentText, int) {
    overall_ = std::string(percentText);
    draw();
}

void TerminalProgress::showSpeed(std::string_view text) {
    if (text != "배속정보") speed_ = std::string(text);
}

void TerminalProgress::showRemainingTime(std::string_view text) {
    remaining_ = std::string(text);
}

void TerminalProgress::showStopping() {
    finish();
    err_ << "변환 중지 중...\n";
}

void TerminalProgress::finish() {
    if (lineOpen_) out_ << "\n" << std::flush;
    lineOpen_ = false;
}

void TerminalProgress::draw() {
    constexpr int kBarWidth = 20;
    const std::string name = row_ < names_.size() ? names_[row_] : std::string();
    const int filled = std::clamp(percent_, 0, 100) * kBarWidth / 100;
    std::string line = "[" + std::to_string(row_ + 1) + "/" + std::to_string(names_.size()) + "] " + name + " [" +
                       std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
                       (cell_.empty() ? std::to_string(percent_) + "%" : cell_);
    if (!speed_.empty()) line += "  " + speed_;
    if (!remaining_.empty()) line += "  남은시간 " + remaining_;
    line += "  전체 " + overall_;
    if (isTerminal_) {
        out_ << "\r" << line << "\x1b[K" << std::flush;
        lineOpen_ = true;
        return;
    }
    // Not a terminal: a line whenever the item's progress text changes.
    const std::string progress = cell_ + "|" + std::to_string(percent_) + "|" + overall_;
    if (progress == lastPlainLine_) return;
    lastPlainLine_ = progress;
    out_ << line << "\n" << std::flush;
}

}  // namespace torvane::cli
