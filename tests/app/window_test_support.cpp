#include "app/window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <memory>

namespace torvane::test {

void whenModalShows(std::function<void(QWidget* modal)> action) {
    auto timer = std::make_shared<QTimer>();
    auto pending = std::make_shared<std::function<void(QWidget*)>>(std::move(action));
    // Often enough to answer at once, seldom enough not to compete with a running encoder.
    timer->setInterval(20);
    QObject::connect(timer.get(), &QTimer::timeout, [timer, pending] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) return;
        timer->stop();
        const auto run = std::move(*pending);
        // The timer dies with the last copy of its shared pointer; let that happen after this call.
        QTimer::singleShot(0, [timer] {});
        run(modal);
    });
    timer->start();
}

QAbstractButton* findButton(QWidget* parent, const QString& text) {
    for (QAbstractButton* button : parent->findChildren<QAbstractButton*>()) {
        if (button->text() == text) return button;
    }
    return nullptr;
}

void clickInNextModal(const QString& buttonText, QString* seenText) {
    whenModalShows([buttonText, seenText](QWidget* modal) {
        if (seenText != nullptr) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                *seenText = box->text();
            } else {
                QString texts;
                for (QLabel* label : modal->findChildren<QLabel*>()) texts += label->text() + "\n";
                *seenText = texts;
            }
        }
        if (QAbstractButton* button = findButton(modal, buttonText)) {
            button->click();
        } else {
            modal->close();
        }
    });
}

}  // namespace torvane::test
