#pragma once

#include "app/power_control.h"

namespace torvane::bench {

// The window benches never power the machine off: the request is refused.
class NoPowerControl : public torvane::app::PowerControl {
public:
    bool powerAction(std::string_view) override { return false; }
};

}  // namespace torvane::bench
