#pragma once

#include <string_view>

namespace torvane {

enum class MessageIcon { Information, Warning, Error, Question };

// How the core reaches the user: the application shows message boxes, torvane-cli prints,
// tests record. Calls come from the thread that owns the list or the run.
class RunObserver {
public:
    virtual ~RunObserver() = default;

    // A message with its caption ("안내", "알림" ...).
    virtual void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
    // A yes/no question ("질문"); true for yes.
    virtual bool askYesNo(std::string_view caption, std::string_view text) = 0;
};

}  // namespace torvane
