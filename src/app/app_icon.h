#pragma once

#include <QIcon>

namespace torvane::app {

// The program's icon in every size it ships (16 to 256 pixels), for windows and dialogs.
QIcon appIcon();

}  // namespace torvane::app
