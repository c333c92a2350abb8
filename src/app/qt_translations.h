#pragma once

class QCoreApplication;

namespace torvane::app {

// Loads Qt's own Korean texts (qtbase_ko from Qt's translations folder) so that file dialogs and
// standard buttons speak the same language as the rest of the window, whatever the desktop's
// locale: every text of ours is Korean. False when that translation is not installed; Qt's
// English texts then remain.
bool installQtTranslations(QCoreApplication& application);

}  // namespace torvane::app
