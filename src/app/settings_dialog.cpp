#include "app/settings_dialog.h"

#include <QAbstractSpinBox>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QStackedWidget>
#include <QStyleOptionSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/qt_text.h"
#include "app/stacking_columns.h"
#include "app/window_place.h"
#include "platform/text_encoding.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "settings/text_rules.h"

namespace torvane::app {
namespace {

constexpr int kVolumeMaxPercent = 300;
constexpr int kSizeMin = 1;
constexpr int kSizeMax = 10000;
constexpr std::size_t kMaxShownTextBytes = 259;
constexpr std::size_t kMaxBrowsePathBytes = 519;
constexpr qsizetype kMaxSizeMenuItems = 50;
constexpr int kSubtitlePercentMax = 100;
constexpr int kSubtitleOutlineMax = 8;

QString originalSizeText() {
    return QStringLiteral("원본");
}

QStringList cropRatios() {
    return {"4:3", "16:11", "16:10", "16:9", "2.31:1"};
}

QStringList bitrateModes() {
    return {"cbr", "abr", "mt", "rh", "mtrh"};
}

QStringList toQtList(const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items) list << toQt(item);
    return list;
}

QStringList numbersUpTo(int last) {
    QStringList list;
    for (int number = 0; number <= last; ++number) list << QString::number(number);
    return list;
}

// What a text control gives back: the text as shown, cut where a stored field ends.
std::string shownText(const QString& text) {
    return std::string(cutUtf8(fromQt(text), kMaxShownTextBytes));
}

std::string yesNo(bool on) {
    return on ? "y" : "n";
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// Selects the item with exactly this text (none when there is no such item); an editable list
// shows the text whether or not it is one of its items.
void setListText(QComboBox* list, const QString& text) {
    list->setCurrentIndex(list->findText(text));
    if (list->isEditable()) list->setEditText(text);
}

void setListText(QComboBox* list, const std::string& text) {
    setListText(list, toQt(text));
}

// Offers new choices without touching the value shown: emptying an editable list would otherwise
// empty its text, and an empty bit rate or frame rate would be stored.
void refillKeepingText(QComboBox* list, const QStringList& items) {
    const QString shown = list->currentText();
    list->clear();
    list->addItems(items);
    setListText(list, shown);
}

void refillSelecting(QComboBox* list, const QStringList& items, const std::string& selected) {
    list->clear();
    list->addItems(items);
    setListText(list, selected);
}

// The "사용" check of a side the format does not carry is cleared, disabled and hidden.
void offerSide(QCheckBox* useCheck, bool carried) {
    useCheck->setChecked(carried);
    useCheck->setEnabled(carried);
    useCheck->setVisible(carried);
}

// The edited format shows the settings' own codec (nothing when it lacks that codec); another
// format preselects its default codec, else its first.
void fillCodecList(QComboBox* list, const QStringList& titles, bool isEditedFormat, const std::string& ownTitle,
                   const std::string& defaultTitle) {
    list->addItems(titles);
    if (isEditedFormat) {
        setListText(list, ownTitle);
    } else {
        list->setCurrentIndex(std::max(list->findText(toQt(defaultTitle)), 0));
    }
}

// The container a format list text stands for: the first with that title in name order.
const ContainerEntry* containerByTitle(const FormatCatalogue& catalogue, std::string_view title) {
    for (const auto& [name, entry] : catalogue.containers()) {
        if (entry.title == title) return &entry;
    }
    return nullptr;
}

template <typename CodecMap>
const typename CodecMap::mapped_type* codecByTitle(const CodecMap& codecs, std::string_view title) {
    for (const auto& [name, entry] : codecs) {
        if (entry.title == title) return &entry;
    }
    return nullptr;
}

// The kind stored for a list's text; an empty text, or one no entry has, leaves an empty name.
template <typename Entry>
std::string kindOf(const Entry* entry, std::string_view title) {
    return title.empty() || entry == nullptr ? std::string() : entry->kind;
}

bool isTypedNonDigit(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isPrint() && (c < u'0' || c > u'9'); });
}

// Digits-only boxes refuse typed characters only: a stored "원본" and pasted text stay as they
// are, since nothing in the box is validated.
class DigitKeysOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) return isTypedNonDigit(static_cast<QKeyEvent*>(event)->text());
        if (event->type() == QEvent::InputMethod) {
            return isTypedNonDigit(static_cast<QInputMethodEvent*>(event)->commitString());
        }
        return QObject::eventFilter(watched, event);
    }
};

// A size box with a spin control. Unlike QSpinBox its text is free (it shows "원본" when sizes
// are not changed); the arrows step from the number shown, or from the last position when the
// text is not a number.
class SizeSpinBox : public QAbstractSpinBox {
public:
    explicit SizeSpinBox(const QString& name) {
        setObjectName(name);
        setKeyboardTracking(false);
        // Keys reach the box first and are handed to its line edit directly, past any filter there.
        auto* digitsOnly = new DigitKeysOnly(this);
        installEventFilter(digitsOnly);
        lineEdit()->installEventFilter(digitsOnly);
    }

    void setText(const QString& text) { lineEdit()->setText(text); }
    void setPosition(long long position) {
        position_ = static_cast<int>(std::clamp<long long>(position, kSizeMin, kSizeMax));
    }

    void stepBy(int steps) override {
        setPosition(shownNumberOr(position_) + steps);
        setText(QString::number(position_));
    }

    QSize sizeHint() const override {
        QStyleOptionSpinBox option;
        initStyleOption(&option);
        const int textWidth = std::max(fontMetrics().horizontalAdvance(QString::number(kSizeMax) + "  "),
                                       fontMetrics().horizontalAdvance(originalSizeText() + "  "));
        const QSize content(textWidth, lineEdit()->sizeHint().height());
        return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
    QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }

private:
    long long shownNumberOr(long long fallback) const {
        const std::string shown = fromQt(text());
        const bool isNumber =
            !shown.empty() && std::all_of(shown.begin(), shown.end(), [](char c) { return c >= '0' && c <= '9'; });
        return isNumber ? leadingInteger(shown) : fallback;
    }

    int position_ = kSizeMin;
};

// A format no catalogue entry has: no codecs, no video, no audio.
const ContainerEntry kNoFormat{};

template <typename Widget>
Widget* named(Widget* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QCheckBox* newCheck(const QString& text, const QString& name) {
    auto* check = new QCheckBox(text);
    check->setObjectName(name);
    return check;
}

QRadioButton* newRadio(const QString& text, const QString& name, QButtonGroup* group) {
    auto* radio = new QRadioButton(text);
    radio->setObjectName(name);
    group->addButton(radio);
    return radio;
}

// Editable lists neither complete nor collect what is typed: the text is stored exactly as typed.
QComboBox* newList(const QString& name, bool editable) {
    auto* list = new QComboBox;
    list->setObjectName(name);
    list->setEditable(editable);
    if (editable) {
        list->setCompleter(nullptr);
        list->setInsertPolicy(QComboBox::NoInsert);
    }
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return list;
}

QLineEdit* newBox(const QString& name) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    return box;
}

QLabel* newLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QWidget* row(std::initializer_list<QWidget*> widgets, bool stretchAtEnd = false) {
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget : widgets) layout->addWidget(widget);
    if (stretchAtEnd) layout->addStretch(1);
    return holder;
}

}  // namespace

// Every control the dialog reads or writes, named so tests and screenshots can find them.
struct SettingsControls {
    QComboBox* containerList = newList("containerList", false);

    QCheckBox* videoUse = newCheck("비디오 사용", "videoUseCheck");
    QLabel* videoOffNote = named(newLabel("비디오 사용 안함"), "videoOffNote");
    QWidget* videoPanel = new QWidget;
    // The note takes the place of the video controls, in the same space, so the window keeps its size.
    QStackedWidget* videoPages = new QStackedWidget;
    QComboBox* videoCodecList = newList("videoCodecList", false);
    QComboBox* videoBitrate = newList("videoBitrate", true);
    QCheckBox* sizeCheck = newCheck("비디오 크기 조정", "sizeCheck");
    SizeSpinBox* widthBox = new SizeSpinBox("widthBox");
    SizeSpinBox* heightBox = new SizeSpinBox("heightBox");
    QToolButton* sizeMenuButton = named(new QToolButton, "sizeMenuButton");
    QCheckBox* keepRatio = newCheck("원본 비율유지하면서 사이즈 변경 (빈공간 검은색)", "keepRatioCheck");
    QCheckBox* cropCheck = newCheck("비율 많이 다를 때 자동 잘라내기", "cropCheck");
    QComboBox* cropList = newList("cropList", true);
    QCheckBox* fpsCheck = newCheck("비디오 프레임레이트 조정", "fpsCheck");
    QComboBox* fpsList = newList("fpsList", true);
    QCheckBox* flipCheck = newCheck("상하반전", "flipCheck");
    QCheckBox* mirrorCheck = newCheck("좌우반전", "mirrorCheck");
    QButtonGroup* rotation = new QButtonGroup;
    QRadioButton* rotateNone = newRadio("회전안함", "rotateNone", rotation);
    QRadioButton* rotateClockwise = newRadio("시계 방향 90도", "rotateClockwise", rotation);
    QRadioButton* rotateCounterClockwise = newRadio("시계 반대 방향 90도", "rotateCounterClockwise", rotation);

    QCheckBox* audioUse = newCheck("오디오 사용", "audioUseCheck");
    QComboBox* audioCodecList = newList("audioCodecList", false);
    QComboBox* audioBitrate = newList("audioBitrate", true);
    QCheckBox* srateCheck = newCheck("샘플링 레이트\n(Sampling Rate)", "srateCheck");
    QComboBox* srateList = newList("srateList", true);
    QButtonGroup* channels = new QButtonGroup;
    QRadioButton* stereo = newRadio("스테레오", "stereoRadio", channels);
    QRadioButton* mono = newRadio("모노", "monoRadio", channels);
    QComboBox* vbrList = newList("vbrList", true);
    QSlider* volumeSlider = named(new QSlider(Qt::Vertical), "volumeSlider");
    QLineEdit* volumeBox = newBox("volumeBox");

    QGroupBox* subtitleGroup = nullptr;
    QCheckBox* subUse = newCheck("자막 사용", "subUseCheck");
    QCheckBox* subEmbed = newCheck("화면에 입히지 않고 켜고 끄는 자막 트랙으로 (MKV, MP4, WebM)", "subEmbedCheck");
    QComboBox* subPos = newList("subPosList", true);
    QComboBox* subCodepage = newList("subCodepageList", true);
    QComboBox* subSize = newList("subSizeList", true);
    QComboBox* subOutline = newList("subOutlineList", true);
    QComboBox* subBlur = newList("subBlurList", true);
    QLineEdit* subDelay = newBox("subDelayBox");
    QLineEdit* subFont = newBox("subFontBox");
    QPushButton* fontBrowse = named(new QPushButton("찾기"), "fontBrowseButton");

    QCheckBox* speedCheck = newCheck("속도 변경", "speedCheck");
    QLineEdit* speedBox = newBox("speedBox");
    QCheckBox* harddupCheck = newCheck("프레임 중복 허용으로 안전성/호환성 향상", "harddupCheck");
    QLineEdit* filenameBox = newBox("filenameBox");

    QLineEdit* plusparamBox = newBox("plusparamBox");
    QLineEdit* plusparam2Box = newBox("plusparam2Box");
    QPushButton* applyButton = named(new QPushButton("적 용"), "applyButton");
    QPushButton* cancelButton = named(new QPushButton("취 소"), "cancelButton");
};

SettingsDialog::SettingsDialog(const SettingsDialogContext& context, EncodeSettings& currentSettings,
                               EncodeSettings& dialogSettings, int dialogMode, QWidget* parent)
    : QDialog(parent),
      context_(context),
      currentSettings_(currentSettings),
      dialogSettings_(dialogSettings),
      dialogMode_(dialogMode),
      controls_(std::make_unique<SettingsControls>()) {
    setWindowTitle("변환값 설정");
    buildLayout();
    dialogSettings_.assignSettings(currentSettings_);
    if (dialogMode_ == kSettingsOnPreset) controls_->cancelButton->hide();
    fillFixedLists();
    fillFormatList();
    switchFormat(catalogue().findContainer(dialogSettings_.container));
    fillControls(dialogSettings_);
    controls_->widthBox->setPosition(leadingInteger(dialogSettings_.video_width));
    controls_->heightBox->setPosition(leadingInteger(dialogSettings_.video_height));
    connectInteractions();
    fitToScreen();
}

SettingsDialog::~SettingsDialog() = default;

const FormatCatalogue& SettingsDialog::catalogue() const {
    static const FormatCatalogue kNoFormats;
    return context_.catalogue != nullptr ? *context_.catalogue : kNoFormats;
}

// ---- Layout -------------------------------------------------------------------------------

namespace {

void addLabelled(QGridLayout* grid, int gridRow, const QString& label, QWidget* control) {
    grid->addWidget(newLabel(label), gridRow, 0);
    grid->addWidget(control, gridRow, 1);
}

QGridLayout* newGrid(QWidget* owner) {
    auto* grid = new QGridLayout(owner);
    grid->setColumnStretch(1, 1);
    return grid;
}

QGroupBox* buildVideoGroup(SettingsControls& c) {
    c.sizeMenuButton->setText("▼");
    c.videoOffNote->setAlignment(Qt::AlignCenter);
    c.cropList->hide();  // the crop ratio is kept and stored, never offered

    auto* grid = newGrid(c.videoPanel);
    grid->setContentsMargins(0, 0, 0, 0);
    addLabelled(grid, 0, "비디오 코덱(Video Codec)", c.videoCodecList);
    addLabelled(grid, 1, "비트레이트(Bit Rate)", c.videoBitrate);
    grid->addWidget(c.sizeCheck, 2, 0, 1, 2);
    grid->addWidget(row({c.widthBox, newLabel("x"), c.heightBox, c.sizeMenuButton}, true), 3, 0, 1, 2);
    grid->addWidget(c.keepRatio, 4, 0, 1, 2);
    grid->addWidget(row({c.cropCheck, c.cropList}, true), 5, 0, 1, 2);
    grid->addWidget(c.fpsCheck, 6, 0);
    grid->addWidget(c.fpsList, 6, 1);
    addLabelled(grid, 7, "필터", row({c.flipCheck, c.mirrorCheck}, true));
    auto* rotations = new QWidget;
    auto* rotationLayout = new QVBoxLayout(rotations);
    rotationLayout->setContentsMargins(0, 0, 0, 0);
    for (QAbstractButton* radio : c.rotation->buttons()) rotationLayout->addWidget(radio);
    addLabelled(grid, 8, "회전", rotations);
    grid->setRowStretch(9, 1);

    auto* group = new QGroupBox("비디오");
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(c.videoUse);
    c.videoPages->addWidget(c.videoPanel);
    c.videoPages->addWidget(c.videoOffNote);
    layout->addWidget(c.videoPages, 1);
    return group;
}

// The slider's top is 300 percent; its value is the percentage itself, so "300 minus the
// position counted from the top" is simply the value.
QWidget* buildVolumeControl(SettingsControls& c) {
    c.volumeSlider->setRange(0, kVolumeMaxPercent);
    c.volumeSlider->setTickPosition(QSlider::TicksRight);
    c.volumeSlider->setTickInterval(100);
    c.volumeSlider->setPageStep(10);
    c.volumeSlider->setMinimumHeight(150);
    c.volumeBox->installEventFilter(new DigitKeysOnly(c.volumeBox));
    c.volumeBox->setMaximumWidth(c.volumeBox->fontMetrics().horizontalAdvance("000000") + 12);

    auto* marks = new QWidget;
    auto* markLayout = new QVBoxLayout(marks);
    markLayout->setContentsMargins(0, 0, 0, 0);
    const QStringList markTexts = {"3배", "2배", "기준100%", "0%"};
    for (qsizetype i = 0; i < markTexts.size(); ++i) {
        if (i > 0) markLayout->addStretch(1);
        markLayout->addWidget(newLabel(markTexts[i]));
    }

    auto* holder = row({c.volumeSlider, marks});
    auto* layout = static_cast<QHBoxLayout*>(holder->layout());
    layout->addWidget(c.volumeBox, 0, Qt::AlignVCenter);
    layout->addWidget(newLabel("%"), 0, Qt::AlignVCenter);
    layout->addStretch(1);
    return holder;
}

QGroupBox* buildAudioGroup(SettingsControls& c) {
    auto* group = new QGroupBox("오디오");
    auto* grid = newGrid(group);
    grid->addWidget(c.audioUse, 0, 0, 1, 2);
    addLabelled(grid, 1, "오디오 코덱(Audio Codec)", c.audioCodecList);
    addLabelled(grid, 2, "비트레이트(Bit Rate)", c.audioBitrate);
    grid->addWidget(c.srateCheck, 3, 0);
    grid->addWidget(c.srateList, 3, 1);
    grid->addWidget(row({c.stereo, c.mono}, true), 4, 0, 1, 2);
    addLabelled(grid, 5, "VBR 설정", c.vbrList);
    grid->addWidget(newLabel("볼륨조절"), 6, 0, Qt::AlignTop);
    grid->addWidget(buildVolumeControl(c), 6, 1);
    grid->setRowStretch(7, 1);
    return group;
}

QGroupBox* buildSubtitleGroup(SettingsControls& c) {
    c.subFont->setMinimumWidth(c.subFont->fontMetrics().averageCharWidth() * 28);
    auto* group = new QGroupBox("자막");
    group->setObjectName("subtitleGroup");
    c.subtitleGroup = group;
    auto* grid = newGrid(group);
    grid->addWidget(c.subUse, 0, 0, 1, 2);
    grid->addWidget(c.subEmbed, 1, 0, 1, 2);
    addLabelled(grid, 2, "위치", c.subPos);
    addLabelled(grid, 3, "언어", c.subCodepage);
    addLabelled(grid, 4, "크기", c.subSize);
    addLabelled(grid, 5, "테두리 두께", c.subOutline);
    addLabelled(grid, 6, "테두리 번짐", c.subBlur);
    addLabelled(grid, 7, "자막지연", row({c.subDelay, newLabel("초")}));
    addLabelled(grid, 8, "폰트 경로", row({c.subFont, c.fontBrowse}));
    grid->setRowStretch(9, 1);
    return group;
}

QGroupBox* buildOtherGroup(SettingsControls& c) {
    c.speedBox->setMaximumWidth(c.speedBox->fontMetrics().horizontalAdvance("0000000") + 12);
    auto* group = new QGroupBox("기타");
    auto* grid = newGrid(group);
    grid->addWidget(c.speedCheck, 0, 0);
    grid->addWidget(row({c.speedBox, newLabel("x 배속"), newLabel(" 예: 1.0 이면 원본속도. 2.5 면 2.5배 빠름")}, true),
                    0, 1);
    grid->addWidget(c.harddupCheck, 1, 0, 1, 2);
    addLabelled(grid, 2, "결과물 파일명 형태", c.filenameBox);
    grid->addWidget(
        row({newLabel("원본파일이름 = {ori_name}"), newLabel("    "), newLabel("출력포맷의 기본확장자 = {base_ext} ")},
            true),
        3, 1);
    return group;
}

QWidget* buildExtraOptions(SettingsControls& c) {
    auto* holder = new QWidget;
    auto* grid = newGrid(holder);
    grid->setContentsMargins(0, 0, 0, 0);
    addLabelled(grid, 0, "추가 명령어\nmencoder", c.plusparamBox);
    addLabelled(grid, 1, "추가 명령어", c.plusparam2Box);
    return holder;
}

}  // namespace

void SettingsDialog::buildLayout() {
    SettingsControls& c = *controls_;
    c.applyButton->setDefault(true);
    c.rotation->setParent(this);
    c.channels->setParent(this);

    // Everything but the two buttons scrolls, and the three columns stack where the screen is
    // too narrow for them: "적 용" and "취 소" stay on a small screen.
    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->addWidget(row({newLabel("파일 포맷 (형태)"), c.containerList}, true));
    contentLayout->addWidget(new StackingColumns({buildVideoGroup(c), buildAudioGroup(c), buildSubtitleGroup(c)}), 1);
    contentLayout->addWidget(buildOtherGroup(c));
    contentLayout->addWidget(buildExtraOptions(c));
    auto* scroll = new QScrollArea;
    scroll_ = scroll;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(c.applyButton);
    buttons->addWidget(c.cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
}

void SettingsDialog::fitToScreen() {
    // As large as its contents want with the columns side by side, but never larger than the
    // screen it opens on.
    QWidget* content = scroll_->widget();
    const QMargins margins = layout()->contentsMargins();
    const QSize wanted(content->sizeHint().width() + margins.left() + margins.right(),
                       content->sizeHint().height() + margins.top() + margins.bottom() + layout()->spacing() +
                           controls_->applyButton->sizeHint().height());
    const QScreen* shown = parentWidget() != nullptr ? parentWidget()->screen() : screen();
    resize(wanted.boundedTo(usableScreenSize(*shown)));
}

void SettingsDialog::connectInteractions() {
    SettingsControls& c = *controls_;
    connect(c.containerList, &QComboBox::currentTextChanged, this, [this](const QString& title) {
        const ContainerEntry* format = containerByTitle(catalogue(), fromQt(title));
        switchFormat(format != nullptr ? *format : kNoFormat);
    });
    connect(c.sizeCheck, &QCheckBox::toggled, this, &SettingsDialog::updateRatioControls);
    connect(c.keepRatio, &QCheckBox::toggled, this, &SettingsDialog::updateRatioControls);
    connect(c.volumeSlider, &QSlider::valueChanged, this,
            [&c](int percent) { c.volumeBox->setText(QString::number(percent)); });
    connect(c.sizeMenuButton, &QToolButton::clicked, this, &SettingsDialog::showSizeMenu);
    connect(c.fontBrowse, &QPushButton::clicked, this, &SettingsDialog::browseFontFile);
    connect(c.applyButton, &QPushButton::clicked, this, &SettingsDialog::apply);
    connect(c.cancelButton, &QPushButton::clicked, this, &SettingsDialog::reject);
}

// ---- Filling ------------------------------------------------------------------------------

void SettingsDialog::fillFixedLists() {
    SettingsControls& c = *controls_;
    for (const auto& [name, label] : catalogue().subtitleCodepages()) c.subCodepage->addItem(toQt(name));
    c.subPos->addItems(numbersUpTo(kSubtitlePercentMax));
    c.subSize->addItems(numbersUpTo(kSubtitlePercentMax));
    c.subOutline->addItems(numbersUpTo(kSubtitleOutlineMax));
    c.subBlur->addItems(numbersUpTo(kSubtitleOutlineMax));
    c.subDelay->setText("0");
}

void SettingsDialog::fillFormatList() {
    SettingsControls& c = *controls_;
    // The codec lists are as wide as the longest title of any format, so no title is cut and
    // the dialog keeps its size when another format is picked.
    int videoWidth = 0;
    int audioWidth = 0;
    const QFontMetrics metrics = c.videoCodecList->fontMetrics();
    for (const std::string& name : catalogue().containerNames()) {
        const ContainerEntry& format = catalogue().findContainer(name);
        c.containerList->addItem(toQt(format.title));
        for (const auto& [kind, codec] : format.vcodecs) {
            videoWidth = std::max(videoWidth, metrics.horizontalAdvance(toQt(codec.title)));
        }
        for (const auto& [kind, codec] : format.acodecs) {
            audioWidth = std::max(audioWidth, metrics.horizontalAdvance(toQt(codec.title)));
        }
    }
    // Room for the frame and the drop-down arrow.
    const int chrome = metrics.height() * 3;
    c.videoCodecList->setMinimumWidth(videoWidth + chrome);
    c.audioCodecList->setMinimumWidth(audioWidth + chrome);
}

void SettingsDialog::switchFormat(const ContainerEntry& format) {
    const bool isEditedFormat = format.kind == dialogSettings_.container;
    if (isEditedFormat) {
        controls_->plusparamBox->setText(toQt(dialogSettings_.plusparam));
        controls_->plusparam2Box->setText(toQt(dialogSettings_.plusparam2));
    }
    switchVideo(format, isEditedFormat);
    switchAudio(format, isEditedFormat);
    offerSubtitles(isTruthy(format.use_video));
}

// A format without pictures has nothing to draw a subtitle on: the panel is disabled and its
// "자막 사용" shown unticked. The stored tick is kept aside, not lost: it comes back when a
// format with pictures is chosen again, and it is what is saved meanwhile.
void SettingsDialog::offerSubtitles(bool hasPictures) {
    SettingsControls& c = *controls_;
    if (hasPictures == subtitlesOffered_) return;
    subtitlesOffered_ = hasPictures;
    if (hasPictures) {
        c.subUse->setChecked(subtitleTickAside_);
    } else {
        subtitleTickAside_ = c.subUse->isChecked();
        c.subUse->setChecked(false);
    }
    c.subtitleGroup->setEnabled(hasPictures);
}

void SettingsDialog::switchVideo(const ContainerEntry& format, bool isEditedFormat) {
    SettingsControls& c = *controls_;
    c.videoCodecList->clear();
    const bool hasVideo = isTruthy(format.use_video);
    offerSide(c.videoUse, hasVideo);
    c.videoPages->setCurrentWidget(hasVideo ? c.videoPanel : static_cast<QWidget*>(c.videoOffNote));
    if (!hasVideo) return;

    QStringList titles;
    for (const std::string& name : format.vcodecList) titles << toQt(format.findVideoCodec(name).title);
    const VideoCodecEntry& defaultCodec = format.findVideoCodec(format.default_vcodec);
    fillCodecList(c.videoCodecList, titles, isEditedFormat, format.findVideoCodec(dialogSettings_.video_codec).title,
                  defaultCodec.title);
    refillKeepingText(c.cropList, cropRatios());
    refillKeepingText(c.videoBitrate, toQtList(defaultCodec.bitrateList));
    refillKeepingText(c.fpsList, toQtList(defaultCodec.framerateList));
}

void SettingsDialog::switchAudio(const ContainerEntry& format, bool isEditedFormat) {
    SettingsControls& c = *controls_;
    c.audioCodecList->clear();
    const bool hasAudio = isTruthy(format.use_audio);
    offerSide(c.audioUse, hasAudio);
    if (!hasAudio) return;

    QStringList titles;
    for (const std::string& name : format.acodecList) titles << toQt(format.findAudioCodec(name).title);
    const AudioCodecEntry& defaultCodec = format.findAudioCodec(format.default_acodec);
    fillCodecList(c.audioCodecList, titles, isEditedFormat, format.findAudioCodec(dialogSettings_.audio_codec).title,
                  defaultCodec.title);
    refillSelecting(c.audioBitrate, toQtList(defaultCodec.bitrateList), defaultCodec.default_bitrate);
    refillSelecting(c.srateList, toQtList(defaultCodec.srateList), defaultCodec.default_srate);
    refillKeepingText(c.vbrList, bitrateModes());
}

void SettingsDialog::fillControls(const EncodeSettings& settings) {
    setListText(controls_->containerList, catalogue().findContainer(settings.container).title);
    fillVideo(settings);
    fillAudio(settings);
    fillSubtitle(settings);
    fillOther(settings);
}

void SettingsDialog::fillVideo(const EncodeSettings& settings) {
    SettingsControls& c = *controls_;
    const ContainerEntry& format = catalogue().findContainer(settings.container);
    setListText(c.videoCodecList, format.findVideoCodec(settings.video_codec).title);
    c.videoUse->setChecked(isTruthy(settings.video_use));
    setListText(c.videoBitrate, settings.video_bitrate);

    const bool resize = isTruthy(settings.video_use_size);
    c.sizeCheck->setChecked(resize);
    c.widthBox->setText(resize ? toQt(settings.video_width) : originalSizeText());
    c.heightBox->setText(resize ? toQt(settings.video_height) : originalSizeText());
    c.keepRatio->setChecked(isTruthy(settings.video_use_sameratio));
    c.cropCheck->setChecked(isTruthy(settings.video_use_crop));
    setListText(c.cropList, settings.video_crop);
    updateRatioControls();

    const bool changeFps = isTruthy(settings.video_use_fps);
    c.fpsCheck->setChecked(changeFps);
    setListText(c.fpsList, changeFps ? toQt(settings.video_fps) : originalSizeText());

    if (settings.filter_ratate == "90") {
        c.rotateClockwise->setChecked(true);
    } else if (settings.filter_ratate == "-90") {
        c.rotateCounterClockwise->setChecked(true);
    } else {
        c.rotateNone->setChecked(true);
    }
    c.flipCheck->setChecked(isTruthy(settings.filter_flip));
    c.mirrorCheck->setChecked(isTruthy(settings.filter_mirror));
}

void SettingsDialog::fillAudio(const EncodeSettings& settings) {
    SettingsControls& c = *controls_;
    const ContainerEntry& format = catalogue().findContainer(settings.container);
    setListText(c.audioCodecList, format.findAudioCodec(settings.audio_codec).title);
    setListText(c.audioBitrate, settings.audio_bitrate);
    c.srateCheck->setChecked(isTruthy(settings.audio_use_srate));
    setListText(c.srateList, settings.audio_srate);
    c.audioUse->setChecked(isTruthy(settings.audio_use));
    (settings.audio_channels == "1" ? c.mono : c.stereo)->setChecked(true);
    // The slider clamps what it cannot show; the box keeps the stored text as it is.
    c.volumeSlider->setValue(leadingInt32(settings.volume));
    c.volumeBox->setText(toQt(settings.volume));
    setListText(c.vbrList, settings.audio_vbr);
}

std::string SettingsDialog::expandFontPath(const std::string& path) const {
    std::string expanded = path;
    replaceAll(expanded, "{sysfontdir}", context_.folders.fontsFolder);
    replaceAll(expanded, "{subfontdir}", context_.folders.subtitleFontFolder);
    return expanded;
}

void SettingsDialog::fillSubtitle(const EncodeSettings& settings) {
    SettingsControls& c = *controls_;
    if (subtitlesOffered_) {
        c.subUse->setChecked(isTruthy(settings.sub_use));
    } else {
        subtitleTickAside_ = isTruthy(settings.sub_use);
    }
    c.subEmbed->setChecked(isTruthy(settings.sub_embed));
    setListText(c.subPos, settings.sub_pos);
    setListText(c.subSize, settings.sub_textscale);
    setListText(c.subOutline, settings.sub_outline);
    setListText(c.subBlur, settings.sub_blur);
    c.subFont->setText(toQt(expandFontPath(settings.sub_font)));
    setListText(c.subCodepage, settings.sub_subcp);
    c.subDelay->setText(toQt(settings.sub_delay));
}

void SettingsDialog::fillOther(const EncodeSettings& settings) {
    SettingsControls& c = *controls_;
    c.plusparamBox->setText(toQt(settings.plusparam));
    c.plusparam2Box->setText(toQt(settings.plusparam2));
    c.speedCheck->setChecked(isTruthy(settings.use_speed));
    c.speedBox->setText(toQt(settings.speed));
    c.filenameBox->setText(toQt(settings.filename));
    c.harddupCheck->setChecked(isTruthy(settings.filter_harddup));
}

// ---- Reading back -------------------------------------------------------------------------

EncodeSettings SettingsDialog::readControls() const {
    EncodeSettings settings;
    settings.assignSettings(dialogSettings_);
    readChoices(settings);
    readChecks(settings);
    readTexts(settings);
    readButtons(settings);
    return settings;
}

void SettingsDialog::readChoices(EncodeSettings& settings) const {
    const SettingsControls& c = *controls_;
    const std::string formatTitle = fromQt(c.containerList->currentText());
    const ContainerEntry* format = containerByTitle(catalogue(), formatTitle);
    settings.container = kindOf(format, formatTitle);
    const ContainerEntry& chosen = format != nullptr ? *format : kNoFormat;
    const std::string videoTitle = fromQt(c.videoCodecList->currentText());
    settings.video_codec = kindOf(codecByTitle(chosen.vcodecs, videoTitle), videoTitle);
    const std::string audioTitle = fromQt(c.audioCodecList->currentText());
    settings.audio_codec = kindOf(codecByTitle(chosen.acodecs, audioTitle), audioTitle);
}

void SettingsDialog::readChecks(EncodeSettings& settings) const {
    const SettingsControls& c = *controls_;
    const std::pair<std::string EncodeSettings::*, const QCheckBox*> checks[] = {
        {&EncodeSettings::video_use, c.videoUse},
        {&EncodeSettings::video_use_size, c.sizeCheck},
        {&EncodeSettings::video_use_sameratio, c.keepRatio},
        {&EncodeSettings::video_use_crop, c.cropCheck},
        {&EncodeSettings::video_use_fps, c.fpsCheck},
        {&EncodeSettings::audio_use, c.audioUse},
        {&EncodeSettings::audio_use_srate, c.srateCheck},
        {&EncodeSettings::sub_use, c.subUse},
        {&EncodeSettings::sub_embed, c.subEmbed},
        {&EncodeSettings::filter_flip, c.flipCheck},
        {&EncodeSettings::filter_mirror, c.mirrorCheck},
        {&EncodeSettings::filter_harddup, c.harddupCheck},
        {&EncodeSettings::use_speed, c.speedCheck},
    };
    for (const auto& [field, check] : checks) settings.*field = yesNo(check->isChecked());
    if (!subtitlesOffered_) settings.sub_use = yesNo(subtitleTickAside_);
}

void SettingsDialog::readTexts(EncodeSettings& settings) const {
    const SettingsControls& c = *controls_;
    const std::pair<std::string EncodeSettings::*, QString> texts[] = {
        {&EncodeSettings::filename, c.filenameBox->text()},
        {&EncodeSettings::video_bitrate, c.videoBitrate->currentText()},
        {&EncodeSettings::video_width, c.widthBox->text()},
        {&EncodeSettings::video_height, c.heightBox->text()},
        {&EncodeSettings::video_crop, c.cropList->currentText()},
        {&EncodeSettings::video_fps, c.fpsList->currentText()},
        {&EncodeSettings::audio_bitrate, c.audioBitrate->currentText()},
        {&EncodeSettings::audio_srate, c.srateList->currentText()},
        {&EncodeSettings::volume, c.volumeBox->text()},
        {&EncodeSettings::audio_vbr, c.vbrList->currentText()},
        {&EncodeSettings::sub_pos, c.subPos->currentText()},
        {&EncodeSettings::sub_textscale, c.subSize->currentText()},
        {&EncodeSettings::sub_outline, c.subOutline->currentText()},
        {&EncodeSettings::sub_blur, c.subBlur->currentText()},
        {&EncodeSettings::sub_font, c.subFont->text()},
        {&EncodeSettings::sub_subcp, c.subCodepage->currentText()},
        {&EncodeSettings::sub_delay, c.subDelay->text()},
        {&EncodeSettings::plusparam, c.plusparamBox->text()},
        {&EncodeSettings::plusparam2, c.plusparam2Box->text()},
        {&EncodeSettings::speed, c.speedBox->text()},
    };
    for (const auto& [field, text] : texts) settings.*field = shownText(text);
}

void SettingsDialog::readButtons(EncodeSettings& settings) const {
    const SettingsControls& c = *controls_;
    settings.audio_channels = c.stereo->isChecked() ? "2" : "1";
    if (c.rotateClockwise->isChecked()) {
        settings.filter_ratate = "90";
    } else if (c.rotateCounterClockwise->isChecked()) {
        settings.filter_ratate = "-90";
    } else {
        settings.filter_ratate = "0";
    }
}

// ---- Interaction --------------------------------------------------------------------------

void SettingsDialog::updateRatioControls() {
    SettingsControls& c = *controls_;
    c.keepRatio->setEnabled(c.sizeCheck->isChecked());
    const bool cropAllowed = c.sizeCheck->isChecked() && c.keepRatio->isChecked();
    c.cropCheck->setEnabled(cropAllowed);
    c.cropList->setEnabled(cropAllowed);
}

QStringList SettingsDialog::sizeMenuItems() const {
    const SettingsControls& c = *controls_;
    const ContainerEntry* format = containerByTitle(catalogue(), fromQt(c.containerList->currentText()));
    if (format == nullptr) return {};
    const VideoCodecEntry* codec = codecByTitle(format->vcodecs, fromQt(c.videoCodecList->currentText()));
    if (codec == nullptr) return {};
    QStringList items;
    for (const std::string& size : codec->sizeList) {
        if (size == "AUTO") continue;
        items << toQt(size);
        if (items.size() == kMaxSizeMenuItems) break;
    }
    return items;
}

void SettingsDialog::applySizeItem(const QString& item) {
    const std::vector<std::string> pieces = splitList(fromQt(item), "x");
    if (pieces.size() < 2) return;
    SettingsControls& c = *controls_;
    c.widthBox->setText(QString::number(leadingInteger(pieces[0])));
    c.heightBox->setText(QString::number(leadingInteger(pieces[1])));
    c.sizeCheck->setChecked(true);
    updateRatioControls();
}

void SettingsDialog::showSizeMenu() {
    QMenu menu(this);
    menu.setTitle("Menu");
    for (const QString& item : sizeMenuItems()) menu.addAction(item);
    if (QAction* chosen = menu.exec(QCursor::pos())) applySizeItem(chosen->text());
}

void SettingsDialog::browseFontFile() {
    const std::string shown(cutUtf8(fromQt(controls_->subFont->text()), kMaxBrowsePathBytes));
    const QString startFolder = shown.empty() ? QString() : QFileInfo(toQt(shown)).path();
    const QString chosen = QFileDialog::getOpenFileName(this, "파일을 선택해 주십시요", startFolder, "모든 파일 (*)");
    if (!chosen.isEmpty()) controls_->subFont->setText(chosen);
}

void SettingsDialog::apply() {
    dialogSettings_.assignSettings(readControls());
    currentSettings_.assignSettings(dialogSettings_);
    if (context_.options != nullptr) context_.options->setOption("lastpreset", currentSettings_.profilePath);
    done(dialogMode_ < 1 ? 1 : dialogMode_);
}

void SettingsDialog::reject() {
    done(kSettingsCancelled);
}

int runSettingsDialog(QWidget* parent, const SettingsDialogContext& context, EncodeSettings& currentSettings,
                      EncodeSettings& dialogSettings, int dialogMode) {
    SettingsDialog dialog(context, currentSettings, dialogSettings, dialogMode, parent);
    return dialog.exec();
}

}  // namespace torvane::app
