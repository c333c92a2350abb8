#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <string>

#include "media/media_summary.h"
#include "settings/option_store.h"

class QButtonGroup;
class QPlainTextEdit;
class QRadioButton;

namespace torvane {
class MediaInfoLibrary;
}

namespace torvane::app {

// The longest report "내용복사" puts on the clipboard, in characters.
inline constexpr qsizetype kMaxCopiedReportChars = 10239;

// The first maxChars characters of the text, never ending inside a character that takes two
// UTF-16 units.
QString cutReport(const QString& text, qsizetype maxChars);

// "상세정보": the MediaInfo report of one file in three levels of detail ("간단", "보통",
// "상세"), with a copy button. The level is remembered as "lastdetail" when the dialog closes.
class MediaDetailDialog : public QDialog {
    Q_OBJECT

public:
    // What "닫 기", Escape and the window's close button end the dialog with.
    static constexpr int kClosedResult = 2;

    // kept is the summary the main window keeps for the whole run: a file that exists is probed
    // into it; for a missing file it still holds the previous file's reports.
    MediaDetailDialog(MediaInfoLibrary& library, const OptionStore& options, MediaSummary& kept,
                      const std::string& path, QWidget* parent = nullptr);

    // Every way of closing the dialog passes here, so the level is stored whatever closed it.
    void done(int result) override;
    void reject() override;

private:
    void showLevel(int level);
    void copyReport();
    void storeLevel();

    const OptionStore& options_;
    const MediaSummary& kept_;
    QPlainTextEdit* report_ = nullptr;
    QButtonGroup* levels_ = nullptr;
};

}  // namespace torvane::app
