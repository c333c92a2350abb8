#pragma once

#include <QDialog>

class QCheckBox;

namespace torvane {
class OptionStore;
}

namespace torvane::app {

// "프로그램 업데이트 안내": the server's message, "업데이트" (result 1) and "취소" (result 2, also
// Escape). The box "3일간 뛰우지 않기" opens ticked; its state is stored in "updatecheckdontview"
// at each click and again when the dialog closes, so a box left ticked also puts the
// reminder off (the current time) and a cleared one stores "0".
class UpdateDialog : public QDialog {
    Q_OBJECT

public:
    UpdateDialog(const QString& message, const OptionStore& options, QWidget* parent);

    static constexpr int kUpdate = 1;
    static constexpr int kCancel = 2;

    void done(int result) override;

private:
    void storeReminderWish() const;

    const OptionStore& options_;
    QCheckBox* putOffCheck_ = nullptr;
};

}  // namespace torvane::app
