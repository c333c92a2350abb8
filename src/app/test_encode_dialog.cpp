#include "app/test_encode_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <limits>

#include "app/app_icon.h"

namespace torvane::app {
namespace {

// Six digits are more than a day of video; the number always fits an int.
constexpr int kMaxSecondsDigits = 6;

}  // namespace

TestEncodeDialog::TestEncodeDialog(int seconds, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("테스트 인코딩"));
    setWindowIcon(appIcon());
    setModal(true);

    auto* explanation =
        new QLabel(QStringLiteral("테스트 인코딩은 전체를 인코딩하는것이 아닙니다.\n몇 초만을 인코딩하여 제대로 인코딩 "
                                  "되는지 \n확인하기 위함입니다."));

    seconds_ = new QLineEdit(QString::number(seconds));
    seconds_->setObjectName(QStringLiteral("seconds"));
    seconds_->setAlignment(Qt::AlignRight);
    seconds_->setMaxLength(kMaxSecondsDigits);
    seconds_->setMaximumWidth(80);
    seconds_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), seconds_));

    auto* field = new QHBoxLayout;
    field->addWidget(new QLabel(QStringLiteral("테스트 인코딩 시간")));
    field->addStretch();
    field->addWidget(seconds_);
    field->addWidget(new QLabel(QStringLiteral("초")));

    auto* ok = new QPushButton(QStringLiteral("확인"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("취소"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(field);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int TestEncodeDialog::seconds() const {
    bool isNumber = false;
    const uint value = seconds_->text().toUInt(&isNumber);
    if (!isNumber) return 0;
    return value > static_cast<uint>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                      : static_cast<int>(value);
}

void TestEncodeDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
    seconds_->setFocus();
    seconds_->selectAll();
}

}  // namespace torvane::app
