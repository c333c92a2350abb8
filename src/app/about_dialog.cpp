#include "app/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include "app/app_icon.h"
#include "app/desktop_actions.h"
#include "app/qt_text.h"
#include "app/web_panel.h"
#include "update/program_version.h"
#include "update/web_addresses.h"

namespace torvane::app {

AboutDialog::AboutDialog(const OptionStore& options, const QString& programFolder, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("프로그램 안내"));
    setWindowIcon(appIcon());
    setModal(true);

    auto* icon = new QLabel;
    icon->setPixmap(appIcon().pixmap(64, 64));
    auto* name = new QLabel(QStringLiteral("토르베인 (Torvane)"));
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.4);
    name->setFont(nameFont);
    auto* version = new QLabel(QStringLiteral("버전 %1").arg(toQt(kProgramVersionText)));
    version->setObjectName(QStringLiteral("version"));
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    const QColor face = palette().color(QPalette::Window);
    const QUrl address(toQt(aboutPageAddress(options, faceColourText(face.red(), face.green(), face.blue()))));
    if (browserControlAvailable(programFolder)) {
        page_ = new WebPanel(
            programFolder, [address](QSize) { return address; }, true);
        page_->setMinimumSize(420, 240);
        layout->addWidget(page_, 1);
    } else {
        // Without the browser control here, the same page opens in the desktop's browser.
        auto* link = new QLabel(QStringLiteral("<a href=\"page\">토르베인 안내 페이지 열기</a>"));
        link->setObjectName(QStringLiteral("pageLink"));
        connect(link, &QLabel::linkActivated, this, [address] { openWithDesktop(address.toString()); });
        texts->insertWidget(2, link);
    }
    auto* close = new QPushButton(QStringLiteral("확인"));
    close->setObjectName(QStringLiteral("close"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
}

void AboutDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) windowHandle()->startSystemMove();
    QDialog::mousePressEvent(event);
}

}  // namespace torvane::app
