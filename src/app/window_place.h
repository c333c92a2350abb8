#pragma once

#include <QRect>
#include <QSize>
#include <optional>
#include <string>
#include <string_view>

class QScreen;
class QWidget;

namespace torvane::app {

// Where a window was last seen: its place and size without the frame, and whether it filled
// the screen. Stored as "x,y,width,height,maximized" ("12,40,1120,760,0").
struct WindowPlace {
    QRect geometry;
    bool maximized = false;
};

std::optional<WindowPlace> parseWindowPlace(std::string_view text);
std::string windowPlaceText(const WindowPlace& place);

// The largest window the screen takes whole, its frame and the desktop's panels included. The
// frame is not known before a window is shown, so room is kept for a usual title bar and border.
QSize usableScreenSize(const QScreen& screen);

// Opens window where it was last seen when that still lies on a screen, else at preferred
// (cut to the screen) in the middle of the primary screen. A remembered place is cut and moved
// onto the screen it lies on mostly, so nothing is ever out of reach.
void placeWindow(QWidget& window, QSize preferred, const std::optional<WindowPlace>& remembered);

// What placeWindow takes back at the next start.
WindowPlace currentPlace(const QWidget& window);

}  // namespace torvane::app
