// Qt's own texts in the window's language: a process of its own, since the translation stays
// installed for every dialog the process opens afterwards.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include "app/qt_translations.h"

namespace torvane::app {
namespace {

TEST(QtTranslations, StandardButtonsSpeakKorean) {
    // The test runs under the C locale: the Korean texts must not depend on the desktop's.
    ASSERT_TRUE(installQtTranslations(*QCoreApplication::instance()))
        << "Qt's Korean translation (qt6-translations-l10n) is not installed";
    QMessageBox box(QMessageBox::Question, QStringLiteral("안내"), QStringLiteral("계속할까요?"),
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    box.show();
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("확인"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("취소"));
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("예(Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("아니요(N)"));
}

}  // namespace
}  // namespace torvane::app
