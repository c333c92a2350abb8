#pragma once

#include <cstddef>
#include <string_view>

namespace torvane {

enum class MessageIcon { Information, Warning, Error, Question };

// How the core reaches the user: the application shows message boxes and widgets, torvane-cli
// prints, tests record. Every call comes from the owner thread (the one that calls the run's
// processEvents), except wakeOwner, which worker threads call to ask the owner to do so.
class RunObserver {
public:
    virtual ~RunObserver() = default;

    // A message with its caption ("안내", "알림" ...).
    virtual void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
    // A yes/no question ("질문"); true for yes.
    virtual bool askYesNo(std::string_view caption, std::string_view text) = 0;

    // A worker has news for the run: call its processEvents on the owner thread soon.
    virtual void wakeOwner() {}

    // The run's displays.
    virtual void setCellText(std::size_t /*row*/, std::size_t /*column*/, std::string_view /*text*/) {}
    virtual void selectRow(std::size_t /*row*/) {}
    virtual void showCurrentProgress(std::string_view /*percentText*/, int /*bar*/) {}
    virtual void showOverallProgress(std::string_view /*percentText*/, int /*bar*/) {}
    virtual void showSpeed(std::string_view /*text*/) {}
    virtual void showRemainingTime(std::string_view /*text*/) {}
    virtual void showStatus(std::string_view /*text*/) {}
    // Idle or running controls ("변환 시작" and "테스트" against "변환 중지" ...).
    virtual void setRunningUi(bool /*running*/) {}
    // The stop button while a stop is under way ("변환 중지 중...").
    virtual void showStopping() {}
    // The run was stopped: the bars, speed, remaining time and status go back to idle.
    virtual void showRunStopped() {}
    // An item of the run changed state (started, finished, failed, stopped), an item joined the
    // run, or the run began or ended: what a journal of the queue records.
    virtual void resultsChanged() {}
};

}  // namespace torvane
