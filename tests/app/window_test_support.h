#pragma once

#include <QString>
#include <functional>

class QAbstractButton;
class QWidget;

namespace torvane::test {

// Modal dialogs and message boxes run their own event loop; a test answers them from inside
// that loop. The action runs once, on the first modal widget that appears after this call
// (the widget is given to it), checked every few milliseconds.
void whenModalShows(std::function<void(QWidget* modal)> action);

// The button of a widget whose text is exactly text; nullptr when there is none.
QAbstractButton* findButton(QWidget* parent, const QString& text);

// Clicks the button with that text in the next modal widget (a message box answer, a dialog's
// "확인") and records the modal's text in *seenText when given.
void clickInNextModal(const QString& buttonText, QString* seenText = nullptr);

}  // namespace torvane::test
