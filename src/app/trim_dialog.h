#pragma once

#include <QDialog>
#include <string>

#include "media/source_item.h"
#include "media/source_range.h"
#include "run/preview_player.h"

class QCheckBox;
class QLineEdit;
class QSlider;
class QTimer;

namespace torvane::app {

// "구간설정": plays one source in a panel of the dialog, with a position slider and play, pause
// and stop buttons, and sets the part of the source to convert ("시작", "끝") and whether its
// sound is kept ("소리"). It opens paused on the first frame, silent until "재생"; the slider
// follows the playing clip. "확인" closes with 1 once the fields make a range; "취 소" and Escape
// close with 2, keeping nothing. The player ends when the dialog closes.
class TrimDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kConfirmed = 1;
    static constexpr int kCancelled = 2;

    // The dialog works on its own copy of the item; playerPath is the player program.
    TrimDialog(const SourceItem& item, const std::string& playerPath, QWidget* parent = nullptr);
    ~TrimDialog() override;

    // What "확인" accepted; the item's own values until then.
    SourceRange range() const { return range_; }
    bool keepSound() const { return keepSound_; }

    PreviewPlayer& player() { return player_; }
    QWidget* videoPanel() const { return videoPanel_; }

public slots:
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void takePlayerPosition(QLineEdit* field);
    void seekToSlider();
    void followPlayer();
    void showPlayerAnswer();
    void showPosition(double seconds);
    double durationSeconds() const;
    void showProblem(const QString& text);

    SourceItem item_;
    PreviewPlayer player_;
    SourceRange range_;
    bool keepSound_ = true;
    bool opened_ = false;
    bool followAsked_ = false;  // the slider's position question is out
    QWidget* videoPanel_ = nullptr;
    QSlider* slider_ = nullptr;
    QLineEdit* startEdit_ = nullptr;
    QLineEdit* endEdit_ = nullptr;
    QCheckBox* soundCheck_ = nullptr;
    QTimer* follow_ = nullptr;
};

}  // namespace torvane::app
