#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

#include "command/placeholders.h"
#include "settings/encode_settings.h"

class QScrollArea;

namespace torvane {
class FormatCatalogue;
class OptionStore;
struct ContainerEntry;
}  // namespace torvane

namespace torvane::app {

struct SettingsControls;

// Who opened "변환값 설정"; on "적 용" the dialog ends with this number (1 when it is below 1).
inline constexpr int kSettingsBeforeStart = 200;  // before a run; the run goes on only on 200
inline constexpr int kSettingsOnPreset = 50;      // after choosing a preset: no "취 소" button
inline constexpr int kSettingsFromButton = -1;    // "현재 설정값 변경 ▶"
// The result of "취 소" and of closing the window.
inline constexpr int kSettingsCancelled = 2;

struct SettingsDialogContext {
    const FormatCatalogue* catalogue = nullptr;
    const OptionStore* options = nullptr;  // "lastpreset" is written here on "적 용"
    PlaceholderValues folders;             // fontsFolder and subtitleFontFolder expand the font path
};

// "변환값 설정": shows every user-facing field of the current settings and copies the edits back
// only on "적 용". The choices it offers come from the format catalogue; what is typed is
// stored as typed.
class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    // Copies currentSettings into dialogSettings (the caller's working record) and shows it.
    SettingsDialog(const SettingsDialogContext& context, EncodeSettings& currentSettings,
                   EncodeSettings& dialogSettings, int dialogMode, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // The items of the size menu "▼": the selected codec's sizes without "AUTO", at most 50.
    QStringList sizeMenuItems() const;
    // Choosing a size menu item: "640x480" fills both boxes and ticks the size check.
    void applySizeItem(const QString& item);

    void reject() override;

private:
    void buildLayout();
    void fitToScreen();
    void connectInteractions();
    void fillFixedLists();
    void fillFormatList();

    void switchFormat(const ContainerEntry& format);
    void switchVideo(const ContainerEntry& format, bool isEditedFormat);
    void switchAudio(const ContainerEntry& format, bool isEditedFormat);
    void offerSubtitles(bool hasPictures);

    void fillControls(const EncodeSettings& settings);
    void fillVideo(const EncodeSettings& settings);
    void fillAudio(const EncodeSettings& settings);
    void fillSubtitle(const EncodeSettings& settings);
    void fillOther(const EncodeSettings& settings);

    EncodeSettings readControls() const;
    void readChoices(EncodeSettings& settings) const;
    void readChecks(EncodeSettings& settings) const;
    void readTexts(EncodeSettings& settings) const;
    void readButtons(EncodeSettings& settings) const;

    void updateRatioControls();
    void showSizeMenu();
    void browseFontFile();
    void apply();

    const FormatCatalogue& catalogue() const;
    std::string expandFontPath(const std::string& path) const;

    SettingsDialogContext context_;
    EncodeSettings& currentSettings_;
    EncodeSettings& dialogSettings_;
    int dialogMode_;
    std::unique_ptr<SettingsControls> controls_;
    QScrollArea* scroll_ = nullptr;  // every panel but the buttons, the columns stacking on a narrow screen
    bool subtitlesOffered_ = true;
    bool subtitleTickAside_ = false;
};

// Opens the dialog modally; returns dialogMode on "적 용" (1 when dialogMode < 1), 2 on "취 소"
// or when the window is closed.
int runSettingsDialog(QWidget* parent, const SettingsDialogContext& context, EncodeSettings& currentSettings,
                      EncodeSettings& dialogSettings, int dialogMode);

}  // namespace torvane::app
