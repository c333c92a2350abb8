#include "app/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace torvane::app {
namespace {

// A usual window frame: a title bar and thin borders.
constexpr int kFrameSides = 8;
constexpr int kFrameTop = 32;

// The screen holding most of rect; nullptr when rect lies on none.
QScreen* screenHolding(const QRect& rect) {
    QScreen* best = nullptr;
    long long bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(rect);
        const long long area = static_cast<long long>(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

// rect cut to size and moved so that it and its frame lie inside the screen's free area.
QRect fitted(QRect rect, const QScreen& screen) {
    rect.setSize(rect.size().boundedTo(usableScreenSize(screen)));
    const QRect free =
        screen.availableGeometry().adjusted(kFrameSides / 2, kFrameTop, -kFrameSides / 2, -kFrameSides / 2);
    rect.moveLeft(std::clamp(rect.left(), free.left(), std::max(free.left(), free.right() - rect.width() + 1)));
    rect.moveTop(std::clamp(rect.top(), free.top(), std::max(free.top(), free.bottom() - rect.height() + 1)));
    return rect;
}

}  // namespace

std::optional<WindowPlace> parseWindowPlace(std::string_view text) {
    const QStringList parts = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).split(',');
    if (parts.size() != 5) return std::nullopt;
    int numbers[5] = {};
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        numbers[i] = parts[i].trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
    }
    if (numbers[2] <= 0 || numbers[3] <= 0) return std::nullopt;
    return WindowPlace{QRect(numbers[0], numbers[1], numbers[2], numbers[3]), numbers[4] != 0};
}

std::string windowPlaceText(const WindowPlace& place) {
    const QRect& g = place.geometry;
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(g.x())
        .arg(g.y())
        .arg(g.width())
        .arg(g.height())
        .arg(place.maximized ? 1 : 0)
        .toStdString();
}

QSize usableScreenSize(const QScreen& screen) {
    const QSize free = screen.availableGeometry().size();
    return {std::max(1, free.width() - kFrameSides), std::max(1, free.height() - kFrameTop - kFrameSides / 2)};
}

void placeWindow(QWidget& window, QSize preferred, const std::optional<WindowPlace>& remembered) {
    if (remembered) {
        if (const QScreen* screen = screenHolding(remembered->geometry)) {
            window.setGeometry(fitted(remembered->geometry, *screen));
            if (remembered->maximized) window.setWindowState(window.windowState() | Qt::WindowMaximized);
            return;
        }
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        window.resize(preferred);
        return;
    }
    QRect rect(QPoint(), preferred.boundedTo(usableScreenSize(*screen)));
    rect.moveCenter(screen->availableGeometry().center());
    window.setGeometry(fitted(rect, *screen));
}

WindowPlace currentPlace(const QWidget& window) {
    // A maximised window remembers the place it goes back to.
    return {window.isMaximized() ? window.normalGeometry() : window.geometry(), window.isMaximized()};
}

}  // namespace torvane::app
