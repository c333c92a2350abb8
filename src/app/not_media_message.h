#pragma once

#include <QStringList>

class QWidget;

namespace torvane::app {

// The one message for the files of an addition that are not media: "멀티미디어 파일이 아닙니다."
// followed by every refused file's name. A long list shows its first names in the text and
// every name in the box's details, so the box never outgrows the screen.
void showNotMediaMessage(QWidget* parent, const QStringList& names);

}  // namespace torvane::app
