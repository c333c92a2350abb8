#include "app/shutdown_countdown.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_icon.h"

namespace torvane::app {

ShutdownCountdown::ShutdownCountdown(int seconds, QWidget* parent) : QDialog(parent), secondsLeft_(seconds) {
    setWindowTitle(QStringLiteral("자동종료"));
    setWindowIcon(appIcon());
    setModal(true);

    number_ = new QLineEdit;
    number_->setObjectName(QStringLiteral("secondsLeft"));
    number_->setReadOnly(true);
    number_->setFocusPolicy(Qt::NoFocus);
    number_->setAlignment(Qt::AlignRight);
    number_->setMaximumWidth(64);
    auto* countdown = new QHBoxLayout;
    countdown->addWidget(number_);
    countdown->addWidget(new QLabel(QStringLiteral("초 후 PC가 종료됩니다.")));
    countdown->addStretch();

    auto* cancel = new QPushButton(QStringLiteral("PC종료 취소"));
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("토르베인 자동종료 확인 메세지입니다.")));
    layout->addLayout(countdown);
    layout->addLayout(buttons);

    timer_.setInterval(kDefaultTickIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &ShutdownCountdown::tick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Whatever ends the dialog, the count must not go on behind it.
    connect(this, &QDialog::finished, &timer_, &QTimer::stop);
}

void ShutdownCountdown::setTickIntervalMs(int intervalMs) {
    timer_.setInterval(intervalMs);
}

void ShutdownCountdown::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
    if (started_) return;
    started_ = true;
    timer_.start();
    // The first number shows at once; queued, because a count of 0 ends the dialog, and ending
    // it before exec() has entered its loop would leave that loop waiting forever.
    QMetaObject::invokeMethod(this, &ShutdownCountdown::tick, Qt::QueuedConnection);
}

void ShutdownCountdown::tick() {
    if (!isVisible()) return;
    if (secondsLeft_ <= 0) {
        timer_.stop();
        accept();
        return;
    }
    number_->setText(QString::number(secondsLeft_));
    --secondsLeft_;
}

}  // namespace torvane::app
