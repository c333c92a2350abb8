#include "app/finish_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <utility>

#include "app/app_icon.h"
#include "app/desktop_actions.h"
#include "app/qt_text.h"
#include "platform/file_system.h"

namespace torvane::app {

FinishFolderTarget finishFolderTarget(const std::string& lastOutputPath, std::size_t runItemCount,
                                      const std::string& outputFolderField) {
    if (!lastOutputPath.empty() && runItemCount == 1 && isFileNotFolder(lastOutputPath)) {
        return {lastOutputPath, true};
    }
    return {outputFolderField, false};
}

FinishDialog::FinishDialog(FinishFolderTarget target, std::vector<FailedFile> failures, int succeeded, QWidget* parent)
    : QDialog(parent), target_(std::move(target)) {
    setWindowTitle(QStringLiteral("안내"));
    setWindowIcon(appIcon());
    setModal(true);

    auto* icon = new QLabel;
    icon->setPixmap(failures.empty() ? appIcon().pixmap(48, 48)
                                     : style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    if (failures.empty()) {
        auto* title = new QLabel(QStringLiteral("축하드립니다!"));
        QFont titleFont = title->font();
        titleFont.setBold(true);
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
        title->setFont(titleFont);
        texts->addWidget(title);
        texts->addWidget(new QLabel(QStringLiteral("동영상 변환이 완료되었습니다.")));
    } else {
        // No congratulations over failures: how many, and which files with their reasons.
        texts->addWidget(new QLabel(QStringLiteral("변환에 실패한 파일이 %1개 있습니다. (성공 %2개)")
                                        .arg(static_cast<qsizetype>(failures.size()))
                                        .arg(succeeded)));
        QString listed;
        for (const FailedFile& failed : failures) {
            listed += toQt(failed.name) + QStringLiteral("\n    ") + toQt(failed.reason) + QStringLiteral("\n");
        }
        auto* list = new QPlainTextEdit(listed.trimmed());
        list->setObjectName(QStringLiteral("failures"));
        list->setReadOnly(true);
        list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        list->setMinimumSize(420, list->fontMetrics().lineSpacing() * 6);
        texts->addWidget(list, 1);
    }
    auto* message = new QHBoxLayout;
    message->addWidget(icon);
    message->addSpacing(12);
    message->addLayout(texts, 1);

    auto* openFolderButton = new QPushButton(QStringLiteral("저장 폴더열기"));
    openFolderButton->setObjectName(QStringLiteral("openFolder"));
    openFolderButton->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("닫기"));
    close->setObjectName(QStringLiteral("close"));
    close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(openFolderButton);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(message);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(openFolderButton, &QPushButton::clicked, this, [this] {
        openTarget();
        accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    close->setFocus();
}

void FinishDialog::openTarget() {
    if (target_.selectFile && showFileInFileManager(target_.path)) return;
    // Nothing opened: the folder once more, and a message naming it when that fails too.
    openFolderOrSay(this, target_.selectFile ? std::string(parentFolder(target_.path)) : target_.path);
}

}  // namespace torvane::app
