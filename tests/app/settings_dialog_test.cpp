#include "app/settings_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <filesystem>

#include "app/qt_text.h"
#include "app/window_test_support.h"
#include "platform/text_encoding.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/text_rules.h"
#include "support/test_support.h"

// Readable failure messages for the texts the controls show.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace torvane::app {
namespace {

using test::buildDir;

const FormatCatalogue& realCatalogue() {
    static const FormatCatalogue catalogue = [] {
        FormatCatalogue loaded;
        EXPECT_TRUE(loaded.loadCatalogue(buildDir() + "/torvane.ini"));
        return loaded;
    }();
    return catalogue;
}

PlaceholderValues testFolders() {
    PlaceholderValues folders;
    folders.programFolder = buildDir();
    folders.fontsFolder = "/usr/share/fonts";
    folders.subtitleFontFolder = buildDir() + "/mplayer";
    return folders;
}

EncodeSettings loadSettings(const std::string& path) {
    EncodeSettings settings;
    EXPECT_TRUE(settings.loadProfile(path)) << path;
    return settings;
}

EncodeSettings defaultProfile() {
    return loadSettings(buildDir() + "/common_avi.ini");
}

QString titleOf(const std::string& container) {
    return toQt(realCatalogue().findContainer(container).title);
}

// One opening of the dialog as the main window makes it, with the two records it works on.
struct OpenDialog {
    explicit OpenDialog(const EncodeSettings& settings, const FormatCatalogue& catalogue = realCatalogue())
        : current(settings), dialog({&catalogue, nullptr, testFolders()}, current, working, kSettingsFromButton) {}

    template <typename Widget = QWidget>
    Widget* control(const char* name) {
        auto* widget = dialog.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* name) {
        QWidget* widget = control(name);
        if (auto* list = qobject_cast<QComboBox*>(widget)) return list->currentText();
        if (auto* box = qobject_cast<QLineEdit*>(widget)) return box->text();
        return qobject_cast<QAbstractSpinBox*>(widget)->text();
    }
    bool shows(const char* name) { return control(name)->isVisibleTo(&dialog); }
    void chooseFormat(const std::string& container) {
        control<QComboBox>("containerList")->setCurrentText(titleOf(container));
    }
    void apply() { control<QAbstractButton>("applyButton")->click(); }

    EncodeSettings current;
    EncodeSettings working;
    SettingsDialog dialog;
};

TEST(SettingsDialog, SwitchingFormatsBackAndForthKeepsOneCopyOfEachChoice) {
    OpenDialog open(defaultProfile());
    for (const char* container : {"mp4", "mp3", "gif", "avi", "mkv", "avi", "mp4", "avi"}) open.chooseFormat(container);

    const ContainerEntry& avi = realCatalogue().findContainer("avi");
    const VideoCodecEntry& xvid = avi.findVideoCodec("xvid");
    const AudioCodecEntry& mp3 = avi.findAudioCodec("mp3");
    const std::pair<const char*, std::size_t> listSizes[] = {
        {"containerList", 29},
        {"videoCodecList", avi.vcodecList.size()},
        {"videoBitrate", xvid.bitrateList.size()},
        {"fpsList", xvid.framerateList.size()},
        {"cropList", 5},
        {"audioCodecList", avi.acodecList.size()},
        {"audioBitrate", mp3.bitrateList.size()},
        {"srateList", mp3.srateList.size()},
        {"vbrList", 5},
        {"subPosList", 101},
    };
    for (const auto& [name, size] : listSizes) {
        EXPECT_EQ(open.control<QComboBox>(name)->count(), static_cast<int>(size)) << name;
    }
    // Refilling a list offers new choices but keeps the value shown.
    EXPECT_EQ(open.text("videoBitrate"), "1200");
    EXPECT_EQ(open.text("fpsList"), "원본");
    EXPECT_EQ(open.text("vbrList"), "cbr");
}

TEST(SettingsDialog, AnotherFormatPreselectsItsDefaultsAndTheEditedOneRestoresTheSettings) {
    EncodeSettings settings = defaultProfile();
    settings.video_codec = "h264";
    settings.audio_codec = "ac3";
    settings.plusparam = "-mc 0";
    settings.plusparam2 = "-tune film";
    OpenDialog open(settings);
    const ContainerEntry& avi = realCatalogue().findContainer("avi");
    const ContainerEntry& mp4 = realCatalogue().findContainer("mp4");
    EXPECT_EQ(open.text("videoCodecList"), toQt(avi.findVideoCodec("h264").title));
    EXPECT_EQ(open.text("plusparam2Box"), "-tune film");

    open.control<QLineEdit>("plusparamBox")->setText("typed");
    open.chooseFormat("mp4");
    EXPECT_EQ(open.text("videoCodecList"), toQt(mp4.findVideoCodec(mp4.default_vcodec).title));
    EXPECT_EQ(open.text("audioCodecList"), toQt(mp4.findAudioCodec(mp4.default_acodec).title));
    EXPECT_EQ(open.text("audioBitrate"), toQt(mp4.findAudioCodec(mp4.default_acodec).default_bitrate));
    EXPECT_EQ(open.text("plusparamBox"), "typed");

    open.chooseFormat("avi");
    EXPECT_EQ(open.text("videoCodecList"), toQt(avi.findVideoCodec("h264").title));
    EXPECT_EQ(open.text("audioCodecList"), toQt(avi.findAudioCodec("ac3").title));
    EXPECT_EQ(open.text("plusparamBox"), "-mc 0");
    EXPECT_EQ(open.text("plusparam2Box"), "-tune film");

    open.chooseFormat("mp4");
    open.apply();
    EXPECT_EQ(open.current.container, "mp4");
    EXPECT_EQ(open.current.video_codec, mp4.default_vcodec);
    EXPECT_EQ(open.current.audio_codec, mp4.default_acodec);
}

TEST(SettingsDialog, ApplyEndsWithTheModeAndOnlyMode50HidesCancel) {
    const std::pair<int, int> modeAndResult[] = {
        {kSettingsFromButton, 1}, {0, 1}, {kSettingsBeforeStart, 200}, {kSettingsOnPreset, 50}};
    for (const auto& [mode, result] : modeAndResult) {
        EncodeSettings current = defaultProfile();
        EncodeSettings working;
        bool cancelShown = false;
        test::whenModalShows([&cancelShown](QWidget* modal) {
            cancelShown = modal->findChild<QWidget*>("cancelButton")->isVisible();
            test::findButton(modal, "적 용")->click();
        });
        EXPECT_EQ(runSettingsDialog(nullptr, {&realCatalogue(), nullptr, testFolders()}, current, working, mode),
                  result);
        EXPECT_EQ(cancelShown, mode != kSettingsOnPreset) << mode;
    }
}

TEST(SettingsDialog, ApplyCopiesTheEditsAndRemembersThePresetWhileCancelAndCloseChangeNothing) {
    test::TempFolder folder;
    const OptionStore options(folder.path());
    const SettingsDialogContext context{&realCatalogue(), &options, testFolders()};
    const EncodeSettings original = loadSettings(buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini");
    const auto editBitrate = [](QWidget* modal) { modal->findChild<QComboBox*>("videoBitrate")->setEditText("9999"); };

    for (const bool closeWindow : {false, true}) {
        EncodeSettings current = original;
        EncodeSettings working;
        test::whenModalShows([&](QWidget* modal) {
            editBitrate(modal);
            if (closeWindow) {
                modal->close();
            } else {
                test::findButton(modal, "취 소")->click();
            }
        });
        EXPECT_EQ(runSettingsDialog(nullptr, context, current, working, kSettingsFromButton), kSettingsCancelled);
        EXPECT_EQ(current.video_bitrate, original.video_bitrate);
        EXPECT_EQ(options.getOption("lastpreset", "none"), "none");
    }

    EncodeSettings current = original;
    EncodeSettings working;
    test::whenModalShows([&](QWidget* modal) {
        editBitrate(modal);
        test::findButton(modal, "적 용")->click();
    });
    runSettingsDialog(nullptr, context, current, working, kSettingsFromButton);
    EXPECT_EQ(current.video_bitrate, "9999");
    EXPECT_EQ(working.video_bitrate, "9999");
    EXPECT_EQ(options.getOption("lastpreset", "none"), original.profilePath);
}

// What "적 용" without an edit stores: the preset itself, except what the controls show
// differently (unchanged sizes and frame rate read "원본", the font path is expanded) and the
// codecs of a side the format does not carry.
EncodeSettings expectedAfterApply(const EncodeSettings& preset) {
    EncodeSettings expected = preset;
    if (!isTruthy(preset.video_use_size)) expected.video_width = expected.video_height = "원본";
    if (!isTruthy(preset.video_use_fps)) expected.video_fps = "원본";
    if (expected.sub_font.starts_with("{subfontdir}"))
        expected.sub_font.replace(0, 12, testFolders().subtitleFontFolder);
    const ContainerEntry& format = realCatalogue().findContainer(preset.container);
    if (!isTruthy(format.use_video)) expected.video_codec.clear();
    if (!isTruthy(format.use_audio)) expected.audio_codec.clear();
    return expected;
}

TEST(SettingsDialog, ApplyingEveryShippedPresetUneditedStoresItUnchanged) {
    int presets = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(buildDir() + "/preset")) {
        if (entry.path().extension() != ".ini") continue;
        ++presets;
        OpenDialog open(loadSettings(entry.path().string()));
        open.apply();
        const EncodeSettings expected = expectedAfterApply(loadSettings(entry.path().string()));
        for (const SettingsKey& key : settingsKeys()) {
            EXPECT_EQ(open.current.*key.field, expected.*key.field) << entry.path() << " " << key.name;
        }
    }
    EXPECT_GT(presets, 80);
}

TEST(SettingsDialog, UnchangedSizesAndFrameRateShowAndStoreOriginal) {
    OpenDialog open(defaultProfile());
    EXPECT_EQ(open.text("widthBox"), "원본");
    EXPECT_EQ(open.text("heightBox"), "원본");
    EXPECT_EQ(open.text("fpsList"), "원본");
    EXPECT_FALSE(open.shows("cropList"));

    auto* sizeCheck = open.control<QCheckBox>("sizeCheck");
    auto* keepRatio = open.control<QCheckBox>("keepRatioCheck");
    auto* crop = open.control<QCheckBox>("cropCheck");
    EXPECT_FALSE(keepRatio->isEnabled());
    sizeCheck->setChecked(true);
    EXPECT_TRUE(keepRatio->isEnabled());
    EXPECT_FALSE(crop->isEnabled());
    keepRatio->setChecked(true);
    EXPECT_TRUE(crop->isEnabled());
    sizeCheck->setChecked(false);
    EXPECT_FALSE(keepRatio->isEnabled());
    EXPECT_FALSE(crop->isEnabled());

    open.apply();
    EXPECT_EQ(open.current.video_width, "원본");
    EXPECT_EQ(open.current.video_height, "원본");
    EXPECT_EQ(open.current.video_fps, "원본");
}

TEST(SettingsDialog, VolumeSliderTopIs300BottomIs0AndTheBoxKeepsWhatItCannotShow) {
    EncodeSettings settings = defaultProfile();
    settings.volume = "450";
    OpenDialog open(settings);
    auto* slider = open.control<QSlider>("volumeSlider");
    EXPECT_EQ(open.text("volumeBox"), "450");
    ASSERT_EQ(slider->orientation(), Qt::Vertical);
    const int top = slider->invertedAppearance() ? slider->minimum() : slider->maximum();
    const int bottom = slider->invertedAppearance() ? slider->maximum() : slider->minimum();

    slider->setValue(bottom);
    EXPECT_EQ(open.text("volumeBox"), "0");
    slider->setValue(top);
    EXPECT_EQ(open.text("volumeBox"), "300");
    open.apply();
    EXPECT_EQ(open.current.volume, "300");
}

TEST(SettingsDialog, SizeMenuOffersTheSelectedCodecsSizesWithoutAuto) {
    test::TempFolder folder;
    std::string manySizes;
    for (int width = 100; width < 160; ++width) manySizes += std::to_string(width) + "x1,";
    test::writeFile(folder / "torvane.ini",
                    "[config]\ncontainer=box\n"
                    "[container_box]\nkind=box\ntitle=Box\nuse_video=y\nable_vcodec=small,large\n"
                    "default_vcodec=small\nuse_audio=y\nable_acodec=pcm\ndefault_acodec=pcm\n"
                    "[vcodec_small]\nkind=small\ntitle=Small\nable_size=AUTO,640x480,720,1280x720\n"
                    "[vcodec_large]\nkind=large\ntitle=Large\nable_size=" +
                        manySizes + "\n[acodec_pcm]\nkind=pcm\ntitle=PCM\n");
    FormatCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadCatalogue(folder / "torvane.ini"));
    EncodeSettings settings = defaultProfile();
    settings.container = "box";
    settings.video_codec = "small";
    OpenDialog open(settings, catalogue);

    EXPECT_EQ(open.dialog.sizeMenuItems(), QStringList({"640x480", "720", "1280x720"}));
    open.dialog.applySizeItem("720");
    EXPECT_EQ(open.text("widthBox"), "원본");
    EXPECT_FALSE(open.control<QCheckBox>("sizeCheck")->isChecked());
    open.dialog.applySizeItem("640x480");
    EXPECT_EQ(open.text("widthBox"), "640");
    EXPECT_EQ(open.text("heightBox"), "480");
    EXPECT_TRUE(open.control<QCheckBox>("sizeCheck")->isChecked());
    EXPECT_TRUE(open.control<QCheckBox>("keepRatioCheck")->isEnabled());

    open.control<QComboBox>("videoCodecList")->setCurrentText("Large");
    const QStringList largeSizes = open.dialog.sizeMenuItems();
    ASSERT_EQ(largeSizes.size(), 50);
    EXPECT_EQ(largeSizes.front(), "100x1");
}

TEST(SettingsDialog, FormatWithoutVideoShowsTheNoteAndFormatWithoutAudioHidesItsCheck) {
    OpenDialog open(loadSettings(buildDir() + "/preset/특별기능/sound_mp3.ini"));
    EXPECT_TRUE(open.shows("videoOffNote"));
    EXPECT_FALSE(open.shows("videoCodecList"));
    EXPECT_FALSE(open.shows("sizeCheck"));
    EXPECT_FALSE(open.shows("videoUseCheck"));
    EXPECT_TRUE(open.shows("audioCodecList"));

    open.chooseFormat("avi");
    EXPECT_FALSE(open.shows("videoOffNote"));
    EXPECT_TRUE(open.shows("videoCodecList"));
    EXPECT_TRUE(open.control<QCheckBox>("videoUseCheck")->isChecked());

    open.chooseFormat("gif");
    EXPECT_FALSE(open.shows("audioUseCheck"));
    EXPECT_TRUE(open.shows("audioBitrate"));
    EXPECT_EQ(open.control<QComboBox>("audioCodecList")->count(), 0);
    open.apply();
    EXPECT_EQ(open.current.audio_use, "n");
    EXPECT_EQ(open.current.audio_codec, "");
}

// A sound-extraction preset stores "자막 사용" ticked; with no pictures to draw on, the panel is
// disabled and unticked, the stored tick is kept and comes back with a format that has pictures.
TEST(SettingsDialog, SubtitlePanelIsOffForFormatsWithoutPictures) {
    const EncodeSettings ac3 = loadSettings(buildDir() + "/preset/특별기능/sound_ac3.ini");
    ASSERT_EQ(ac3.sub_use, "y");
    OpenDialog open(ac3);
    EXPECT_FALSE(open.control("subtitleGroup")->isEnabled());
    EXPECT_FALSE(open.control<QCheckBox>("subUseCheck")->isChecked());

    open.chooseFormat("mkv");
    EXPECT_TRUE(open.control("subtitleGroup")->isEnabled());
    EXPECT_TRUE(open.control<QCheckBox>("subUseCheck")->isChecked());
    // Unticked by the user while it applies, then a sound format again: the user's choice is kept.
    open.control<QCheckBox>("subUseCheck")->setChecked(false);
    open.chooseFormat("mp3");
    EXPECT_FALSE(open.control("subtitleGroup")->isEnabled());
    open.apply();
    EXPECT_EQ(open.current.sub_use, "n");
}

// Types as a user does, into a focused box of the shown dialog.
void typeInto(QWidget* box, const QString& keys) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) line->clear();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(box)) spin->clear();
    box->setFocus();
    QTest::keyClicks(box, keys);
}

TEST(SettingsDialog, TypedTextIsStoredAsTypedAndCutOnACharacterBoundary) {
    OpenDialog open(defaultProfile());
    open.dialog.show();
    // Activated at once (activateWindow waits for the platform): a completer acts on focused boxes only.
    QApplication::setActiveWindow(&open.dialog);
    auto* charsets = open.control<QComboBox>("subCodepageList");
    for (int i = 0; i < charsets->count(); ++i) {
        EXPECT_TRUE(realCatalogue().subtitleCodepages().contains(fromQt(charsets->itemText(i)))) << i;
    }
    typeInto(charsets->lineEdit(), "utf-16le");
    typeInto(open.control<QComboBox>("audioBitrate")->lineEdit(), "12");  // not completed to the offered "128"
    typeInto(open.control("widthBox"), "6a4.0");
    typeInto(open.control<QLineEdit>("speedBox"), "fast");
    open.control<QLineEdit>("filenameBox")->setText(QString(300, u'가'));

    open.apply();
    EXPECT_EQ(open.current.sub_subcp, "utf-16le");
    EXPECT_EQ(open.current.audio_bitrate, "12");
    EXPECT_EQ(open.current.video_width, "640");
    EXPECT_EQ(open.current.speed, "fast");
    EXPECT_EQ(open.current.filename.size(), 258u);
    EXPECT_TRUE(isValidUtf8(open.current.filename));
}

TEST(SettingsDialog, FontButtonStartsInTheFontsFolderAndTakesTheChosenFile) {
    test::TempFolder folder;
    test::writeFile(folder / "a.ttf", "font");
    test::writeFile(folder / "b.ttf", "font");
    OpenDialog open(defaultProfile());
    open.control<QLineEdit>("subFontBox")->setText(toQt(folder / "a.ttf"));
    open.dialog.show();

    QString title;
    QString startFolder;
    test::whenModalShows([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        if (files == nullptr) {
            ADD_FAILURE() << "not a file dialog: " << fromQt(modal->metaObject()->className());
            modal->close();
            return;
        }
        title = files->windowTitle();
        startFolder = files->directory().absolutePath();
        // Typed rather than selected: selecting waits for the folder to be listed in the background.
        files->findChild<QLineEdit*>("fileNameEdit")->setText(toQt(folder / "b.ttf"));
        static_cast<QDialog*>(files)->accept();  // QFileDialog makes its accept protected
    });
    open.control<QAbstractButton>("fontBrowseButton")->click();
    EXPECT_EQ(title, "파일을 선택해 주십시요");
    EXPECT_EQ(startFolder, toQt(folder.path()));
    EXPECT_EQ(open.text("subFontBox"), toQt(folder / "b.ttf"));
}

TEST(SettingsDialog, NoLabelIsCutAtTheDefaultSize) {
    OpenDialog open(loadSettings(buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini"));
    open.dialog.show();
    // The columns are arranged for the width the dialog opens at.
    QApplication::processEvents();
    open.dialog.layout()->activate();
    for (QWidget* widget : open.dialog.findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        if (!qobject_cast<QLabel*>(widget) && !qobject_cast<QAbstractButton*>(widget)) continue;
        EXPECT_GE(widget->width(), widget->sizeHint().width()) << fromQt(widget->objectName());
    }
}

}  // namespace
}  // namespace torvane::app
