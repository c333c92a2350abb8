#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "settings/option_store.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace torvane::app {

// "환경설정": the application options. Opens showing the stored values; "확 인" stores every
// value, "취 소" stores nothing. Only the logo chosen with "찾기" is stored at once.
class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    OptionsDialog(const OptionStore& options, const std::string& programFolder, QWidget* parent = nullptr);

protected:
    // Grabbing the background moves the dialog, as the title bar would.
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct FlagBox {
        const char* option;
        QCheckBox* box;
    };

    QCheckBox* addFlag(const char* option, const QString& text);
    QWidget* makeGeneralGroup();
    QWidget* makeSwfGroup();
    QWidget* makeLogoGroup();
    void loadValues(const std::string& programFolder);
    void setLogoControlsEnabled(bool enabled);
    void browseLogo();
    void storeValues();

    const OptionStore& options_;
    std::vector<FlagBox> flags_;
    QCheckBox* logoUse_ = nullptr;
    QLineEdit* logoPath_ = nullptr;
    QPushButton* logoBrowse_ = nullptr;
    QButtonGroup* logoCorner_ = nullptr;
    std::array<QRadioButton*, 4> cornerButtons_{};
    QLineEdit* logoX_ = nullptr;
    QLineEdit* logoY_ = nullptr;
    QSpinBox* parallel_ = nullptr;
};

}  // namespace torvane::app
