#include "app/not_media_message.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "app/qt_text.h"
#include "run/add_source_file.h"

namespace torvane::app {
namespace {

// More names than this go into the details only.
constexpr qsizetype kNamesInText = 12;

}  // namespace

void showNotMediaMessage(QWidget* parent, const QStringList& names) {
    QString text = toQt(kNotMediaMessage) + QStringLiteral("\n");
    for (const QString& name : names.mid(0, kNamesInText)) text += QStringLiteral("\n") + name;
    if (names.size() > kNamesInText) text += QStringLiteral("\n… 외 %1개").arg(names.size() - kNamesInText);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("안내"), text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("확인"));
    if (names.size() > kNamesInText) box.setDetailedText(names.join(QStringLiteral("\n")));
    box.exec();
}

}  // namespace torvane::app
