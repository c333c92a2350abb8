#pragma once

#include <string>

namespace torvane {

// The folder of the option store: $TORVANE_CONFIG_DIR, else $XDG_CONFIG_HOME/torvane,
// else ~/.config/torvane.
std::string defaultConfigFolder();

}  // namespace torvane
