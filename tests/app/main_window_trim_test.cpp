#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/main_window_fixture.h"
#include "app/qt_text.h"
#include "app/source_list_view.h"
#include "app/window_test_support.h"

namespace torvane::app {
namespace {

using test::MainWindowTest;
using torvane::test::testMedia;

QString cell(MainWindow& window, SourceColumn column) {
    QTableWidgetItem* item = window.widgets().list->item(0, static_cast<int>(column));
    return item == nullptr ? QString() : item->text();
}

TEST_F(MainWindowTest, TrimSetsTheRangeOfTheOnlyRowAndTheListShowsIt) {
    MainWindow& w = window();
    QPushButton* trim = w.widgets().trimButton;
    EXPECT_FALSE(trim->isHidden());
    EXPECT_FALSE(trim->isEnabled());
    addAndWait({testMedia("av4.mp4")});
    ASSERT_TRUE(trim->isEnabled());

    QString title;
    torvane::test::whenModalShows([&title](QWidget* dialog) {
        title = dialog->windowTitle();
        dialog->findChild<QLineEdit*>(QStringLiteral("startEdit"))->setText(QStringLiteral("1"));
        dialog->findChild<QLineEdit*>(QStringLiteral("endEdit"))->setText(QStringLiteral("0:00:03"));
        dialog->findChild<QCheckBox*>(QStringLiteral("soundCheck"))->setChecked(false);
        torvane::test::findButton(dialog, QStringLiteral("확인"))->click();
    });
    trim->click();
    EXPECT_EQ(title, QStringLiteral("구간설정"));
    const SourceItem& item = *w.sourceList().item(0);
    EXPECT_EQ(item.rangeStartSeconds, 1.0);
    EXPECT_EQ(item.rangeEndSeconds, 3.0);
    EXPECT_FALSE(item.keepSound);
    EXPECT_EQ(cell(w, SourceColumn::Duration), QStringLiteral("00:00:01~00:00:03"));
    EXPECT_EQ(cell(w, SourceColumn::Audio), QStringLiteral("소리 없음"));

    // Two rows: the command is not offered. The range leaves with its row.
    addAndWait({testMedia("av4.mp4")});
    EXPECT_FALSE(trim->isEnabled());
    // The greyed button says why.
    EXPECT_TRUE(trim->toolTip().startsWith(QStringLiteral("파일 하나를 선택하세요"))) << fromQt(trim->toolTip());
    torvane::test::clickInNextModal(QStringLiteral("예"));
    w.widgets().removeAllButton->click();
    EXPECT_FALSE(trim->isEnabled());
    addAndWait({testMedia("av4.mp4")});
    EXPECT_FALSE(w.sourceList().item(0)->rangeStartSeconds > 0 || w.sourceList().item(0)->rangeEndSeconds > 0);
    EXPECT_EQ(cell(w, SourceColumn::Duration), QStringLiteral("00:00:04"));
}

}  // namespace
}  // namespace torvane::app
