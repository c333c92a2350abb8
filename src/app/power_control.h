#pragma once

#include <optional>
#include <string_view>

namespace torvane::app {

enum class PowerRequest { PowerOff, Reboot };

// "shutdown" powers the computer off, "restart" reboots it; any other text asks for nothing.
std::optional<PowerRequest> powerRequestFor(std::string_view mode);

// Turning the computer off at the end of a run. The window talks to this interface, so tests
// can hand it one that records instead of powering anything off.
class PowerControl {
public:
    virtual ~PowerControl();
    // True when the system accepted the request; false for an unknown mode.
    virtual bool powerAction(std::string_view mode) = 0;
};

// The system's own power control: logind's Manager on the system bus, without asking the user
// (interactive = false), else systemctl.
class LogindPowerControl : public PowerControl {
public:
    bool powerAction(std::string_view mode) final;

protected:
    // Hands the request to the system; the only part that touches it.
    virtual bool request(PowerRequest what);
};

}  // namespace torvane::app
