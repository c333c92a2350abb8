#include "app/update_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <ctime>
#include <string>

#include "app/app_icon.h"
#include "settings/option_store.h"

namespace torvane::app {

UpdateDialog::UpdateDialog(const QString& message, const OptionStore& options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("프로그램 업데이트 안내"));
    setWindowIcon(appIcon());
    setModal(true);

    auto* icon = new QLabel;
    icon->setPixmap(appIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    auto* heading = new QLabel(QStringLiteral("토르베인의 최신버전이 있습니다."));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);
    auto* texts = new QVBoxLayout;
    texts->addWidget(heading);
    texts->addWidget(new QLabel(QStringLiteral("업데이트된 기능을 확인하시고 가급적 업데이트를 해주세요. ")));
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* messageView = new QPlainTextEdit(message);
    messageView->setObjectName(QStringLiteral("message"));
    messageView->setReadOnly(true);
    messageView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    putOffCheck_ = new QCheckBox(QStringLiteral("3일간 뛰우지 않기"));
    putOffCheck_->setObjectName(QStringLiteral("putOff"));
    putOffCheck_->setChecked(true);
    connect(putOffCheck_, &QCheckBox::clicked, this, [this] { storeReminderWish(); });

    auto* update = new QPushButton(QStringLiteral("업데이트"));
    update->setObjectName(QStringLiteral("update"));
    update->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("취소"));
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(update, &QPushButton::clicked, this, [this] { done(kUpdate); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(kCancel); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(putOffCheck_);
    buttons->addStretch();
    buttons->addWidget(update);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(messageView, 1);
    layout->addLayout(buttons);
    resize(460, 320);
}

void UpdateDialog::done(int result) {
    storeReminderWish();
    // Escape and the window's close button reject, which is "취소".
    QDialog::done(result == QDialog::Rejected ? kCancel : result);
}

void UpdateDialog::storeReminderWish() const {
    options_.setOption("updatecheckdontview", putOffCheck_->isChecked() ? std::to_string(std::time(nullptr)) : "0");
}

}  // namespace torvane::app
