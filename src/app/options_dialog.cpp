#include "app/options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <thread>

#include "app/app_icon.h"
#include "app/qt_text.h"
#include "platform/file_system.h"
#include "settings/text_rules.h"

namespace torvane::app {
namespace {

std::string_view defaultOf(std::string_view option) {
    const OptionDefinition* definition = findOption(option);
    return definition != nullptr ? definition->defaultValue : std::string_view{};
}

QLabel* noteLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setEnabled(false);
    return label;
}

}  // namespace

OptionsDialog::OptionsDialog(const OptionStore& options, const std::string& programFolder, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("환경설정"));
    setWindowIcon(appIcon());
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeGeneralGroup());
    layout->addWidget(makeSwfGroup());
    layout->addWidget(makeLogoGroup());

    auto* ok = new QPushButton(QStringLiteral("확 인"));
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("취 소"));
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, [this] {
        storeValues();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(logoUse_, &QCheckBox::toggled, this, &OptionsDialog::setLogoControlsEnabled);
    connect(logoBrowse_, &QPushButton::clicked, this, &OptionsDialog::browseLogo);

    loadValues(programFolder);
}

QCheckBox* OptionsDialog::addFlag(const char* option, const QString& text) {
    auto* box = new QCheckBox(text);
    box->setObjectName(QString::fromLatin1(option));
    flags_.push_back({option, box});
    return box;
}

QWidget* OptionsDialog::makeGeneralGroup() {
    auto* group = new QGroupBox(QStringLiteral("일반"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(addFlag("closetotray", QStringLiteral("메인 창 닫을 때, 트레이로 이동")));
    layout->addWidget(addFlag("finishalert", QStringLiteral("변환완료시 완료 메세지 박스 띄우기")));
    layout->addWidget(addFlag("viewsettingonpreset", QStringLiteral("기기 선택시 현재 설정값 창 보기")));
    layout->addWidget(addFlag("settingbeforestart", QStringLiteral("인코딩 시작 직전 현재 설정값 확인")));
    layout->addWidget(addFlag("confirmbeforestop", QStringLiteral("변환중지시에 확인창 띄우기")));
    // More files at once than processors would only make them wait on each other.
    parallel_ = new QSpinBox;
    parallel_->setObjectName(QStringLiteral("parallel"));
    parallel_->setRange(1, static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u)));
    auto* parallel = new QHBoxLayout;
    parallel->addWidget(new QLabel(QStringLiteral("동시 변환 개수")));
    parallel->addWidget(parallel_);
    parallel->addStretch();
    layout->addLayout(parallel);
    return group;
}

QWidget* OptionsDialog::makeSwfGroup() {
    auto* group = new QGroupBox(QStringLiteral("SWF"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(
        addFlag("swfmethodframe", QStringLiteral("프레임 단위로 변환 (깨끗한 화질, 느림. 기본값:체크됨)")));
    layout->addWidget(
        addFlag("swfmp3extractfirst", QStringLiteral("SWF 안에서 MP3 를 먼저 추출해서 변환  (기본값:체크해지)")));
    layout->addWidget(noteLabel(QStringLiteral("변환에 실패했을 때, 체크하세요")));
    return group;
}

QWidget* OptionsDialog::makeLogoGroup() {
    auto* group = new QGroupBox(QStringLiteral("로고"));
    auto* layout = new QGridLayout(group);

    logoUse_ = addFlag("logouse", QStringLiteral("로고삽입"));
    layout->addWidget(logoUse_, 0, 0);
    layout->addWidget(noteLabel(QStringLiteral("PNG 파일만 사용가능. 투명한 png 지원합니다.")), 0, 1, 1, 3);

    logoPath_ = new QLineEdit;
    logoPath_->setObjectName(QStringLiteral("logopath"));
    logoPath_->setMinimumWidth(260);
    logoBrowse_ = new QPushButton(QStringLiteral("찾기"));
    logoBrowse_->setObjectName(QStringLiteral("logoBrowse"));
    layout->addWidget(new QLabel(QStringLiteral("이미지")), 1, 0);
    layout->addWidget(logoPath_, 1, 1, 1, 2);
    layout->addWidget(logoBrowse_, 1, 3);

    // The four corners laid out where they are on the picture.
    logoCorner_ = new QButtonGroup(this);
    auto* corners = new QGridLayout;
    const QString cornerNames[] = {QStringLiteral("왼쪽 상단"), QStringLiteral("오른쪽 상단"),
                                   QStringLiteral("왼쪽 하단"), QStringLiteral("오른쪽 하단")};
    for (int corner = 1; corner <= 4; ++corner) {
        auto* radio = new QRadioButton(cornerNames[corner - 1]);
        radio->setObjectName(QStringLiteral("logocorner%1").arg(corner));
        logoCorner_->addButton(radio, corner);
        cornerButtons_[static_cast<std::size_t>(corner - 1)] = radio;
        corners->addWidget(radio, (corner - 1) / 2, (corner - 1) % 2);
    }
    auto* position = new QHBoxLayout;
    position->addWidget(new QLabel(QStringLiteral("기준")));
    position->addLayout(corners);
    position->addStretch();
    layout->addWidget(new QLabel(QStringLiteral("위치")), 2, 0);
    layout->addLayout(position, 2, 1, 1, 3);

    logoX_ = new QLineEdit;
    logoX_->setObjectName(QStringLiteral("logox"));
    logoY_ = new QLineEdit;
    logoY_->setObjectName(QStringLiteral("logoy"));
    auto* distances = new QHBoxLayout;
    for (QLineEdit* box : {logoX_, logoY_}) box->setMaximumWidth(64);
    distances->addWidget(logoX_);
    distances->addWidget(new QLabel(QStringLiteral(",")));
    distances->addWidget(logoY_);
    distances->addStretch();
    layout->addWidget(new QLabel(QStringLiteral("간격")), 3, 0);
    layout->addLayout(distances, 3, 1, 1, 3);

    layout->setColumnStretch(1, 1);
    return group;
}

void OptionsDialog::loadValues(const std::string& programFolder) {
    for (const FlagBox& flag : flags_) {
        const std::string value = options_.getOption(flag.option, defaultOf(flag.option));
        // The completion message reads its flag more leniently than the others; the box shows
        // what the program will do, so confirming the dialog unchanged keeps the behaviour.
        const bool on = std::string_view(flag.option) == "finishalert" ? isTruthy(value) : value == "y";
        flag.box->setChecked(on);
    }

    std::string logoPath = options_.getOption("logopath", defaultOf("logopath"));
    if (logoPath.empty()) {
        const std::string besideProgram = joinPath(programFolder, "logo.png");
        if (isFileNotFolder(besideProgram)) logoPath = besideProgram;
    }
    logoPath_->setText(toQt(logoPath));

    const long long corner = options_.getOptionInt("logocorner", defaultOf("logocorner"));
    if (corner >= 1 && corner <= 4) cornerButtons_[static_cast<std::size_t>(corner - 1)]->setChecked(true);
    logoX_->setText(toQt(options_.getOption("logox", defaultOf("logox"))));
    logoY_->setText(toQt(options_.getOption("logoy", defaultOf("logoy"))));
    // QSpinBox holds a stored value outside its range to the nearest end.
    const long long parallel = options_.getOptionInt("parallel", defaultOf("parallel"));
    parallel_->setValue(static_cast<int>(std::clamp<long long>(parallel, 1, parallel_->maximum())));

    setLogoControlsEnabled(logoUse_->isChecked());
}

void OptionsDialog::setLogoControlsEnabled(bool enabled) {
    logoPath_->setEnabled(enabled);
    for (QRadioButton* radio : cornerButtons_) radio->setEnabled(enabled);
    logoX_->setEnabled(enabled);
    logoY_->setEnabled(enabled);
}

void OptionsDialog::browseLogo() {
    const QString current = logoPath_->text();
    const QString startFolder = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("원본 동영상을 선택해주세요."),
                                                        startFolder, QStringLiteral("PNG 파일 (*.png)"));
    if (chosen.isEmpty()) return;
    // Kept even when the dialog is cancelled afterwards: choosing the file was the decision.
    options_.setOption("logopath", fromQt(chosen));
    logoPath_->setText(chosen);
}

void OptionsDialog::storeValues() {
    for (const FlagBox& flag : flags_) options_.setOption(flag.option, flag.box->isChecked() ? "y" : "n");
    options_.setOption("allowsamefile", "n");
    options_.setOption("logopath", fromQt(logoPath_->text()));
    const int corner = logoCorner_->checkedId();
    options_.setOption("logocorner", std::to_string(corner >= 1 && corner <= 4 ? corner : 4));
    options_.setOption("logox", fromQt(logoX_->text()));
    options_.setOption("logoy", fromQt(logoY_->text()));
    options_.setOption("parallel", std::to_string(parallel_->value()));
}

void OptionsDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

}  // namespace torvane::app
