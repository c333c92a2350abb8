#include "app/trim_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <chrono>

#include "app/app_icon.h"
#include "app/qt_text.h"

namespace torvane::app {
namespace {

// mplayer answers within a frame or two; a player that does not answer must not hold the window.
constexpr std::chrono::milliseconds kPositionAnswerLimit(1000);

QPushButton* button(const char* text, const char* name) {
    auto* b = new QPushButton(QString::fromUtf8(text));
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* timeField(const char* name, double seconds) {
    auto* field = new QLineEdit(seconds > 0 ? toQt(formatTimeText(seconds)) : QString());
    field->setObjectName(QString::fromLatin1(name));
    field->setPlaceholderText(QStringLiteral("0:00:00"));
    field->setMaximumWidth(110);
    return field;
}

}  // namespace

TrimDialog::TrimDialog(const SourceItem& item, const std::string& playerPath, QWidget* parent)
    : QDialog(parent),
      item_(item),
      player_(playerPath),
      range_{item.rangeStartSeconds, item.rangeEndSeconds},
      keepSound_(item.keepSound) {
    setWindowTitle(QStringLiteral("구간설정"));
    setWindowIcon(appIcon());
    setModal(true);

    // A window of its own that the player draws into.
    videoPanel_ = new QWidget;
    videoPanel_->setObjectName(QStringLiteral("videoPanel"));
    videoPanel_->setAttribute(Qt::WA_NativeWindow);
    videoPanel_->setAutoFillBackground(true);
    videoPanel_->setPalette(QPalette(Qt::black));
    videoPanel_->setMinimumSize(480, 270);
    videoPanel_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    slider_ = new QSlider(Qt::Horizontal);
    slider_->setObjectName(QStringLiteral("positionSlider"));
    slider_->setRange(0, 100);
    slider_->setValue(0);

    startEdit_ = timeField("startEdit", item.rangeStartSeconds);
    endEdit_ = timeField("endEdit", item.rangeEndSeconds);
    QPushButton* startHere = button("현재 위치", "startFromPlayer");
    startHere->setToolTip(QStringLiteral("재생 중인 위치를 시작으로 합니다"));
    QPushButton* endHere = button("현재 위치", "endFromPlayer");
    endHere->setToolTip(QStringLiteral("재생 중인 위치를 끝으로 합니다"));
    soundCheck_ = new QCheckBox(QStringLiteral("소리"));
    soundCheck_->setObjectName(QStringLiteral("soundCheck"));
    soundCheck_->setChecked(item.keepSound);

    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(new QLabel(QStringLiteral("시작")));
    rangeRow->addWidget(startEdit_);
    rangeRow->addWidget(startHere);
    rangeRow->addSpacing(16);
    rangeRow->addWidget(new QLabel(QStringLiteral("끝")));
    rangeRow->addWidget(endEdit_);
    rangeRow->addWidget(endHere);
    rangeRow->addSpacing(16);
    rangeRow->addWidget(soundCheck_);
    rangeRow->addStretch(1);

    QPushButton* play = button("재생", "playButton");
    QPushButton* pause = button("멈춤", "pauseButton");
    QPushButton* stop = button("중지", "stopButton");
    QPushButton* ok = button("확인", "okButton");
    ok->setDefault(true);
    QPushButton* cancel = button("취소", "cancelButton");
    cancel->hide();
    auto* buttonRow = new QHBoxLayout;
    for (QPushButton* b : {play, pause, stop}) buttonRow->addWidget(b);
    buttonRow->addStretch(1);
    buttonRow->addWidget(ok);
    buttonRow->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(videoPanel_, 1);
    layout->addWidget(slider_);
    layout->addLayout(rangeRow);
    layout->addLayout(buttonRow);

    // The program never moves the slider, so every change is the user's.
    connect(slider_, &QSlider::valueChanged, this, [this](int percent) { player_.seekPercent(percent); });
    connect(play, &QPushButton::clicked, this, [this] { player_.resume(); });
    connect(pause, &QPushButton::clicked, this, [this] { player_.pause(); });
    // "중지" goes back to the start and plays on from there.
    connect(stop, &QPushButton::clicked, this, [this] { player_.seekPercent(0); });
    connect(startHere, &QPushButton::clicked, this, [this] { takePlayerPosition(startEdit_); });
    connect(endHere, &QPushButton::clicked, this, [this] { takePlayerPosition(endEdit_); });
    connect(ok, &QPushButton::clicked, this, &TrimDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &TrimDialog::reject);
}

TrimDialog::~TrimDialog() = default;

void TrimDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
    if (opened_) return;
    opened_ = true;
    if (!item_.sourcePath.empty())
        player_.openMedia(item_.sourcePath, static_cast<std::uint64_t>(videoPanel_->winId()));
}

void TrimDialog::accept() {
    std::string problem;
    const std::optional<SourceRange> chosen = readRange(fromQt(startEdit_->text()), fromQt(endEdit_->text()),
                                                        static_cast<double>(item_.media.durationExact), &problem);
    if (!chosen) {
        showProblem(toQt(problem));
        return;
    }
    range_ = *chosen;
    keepSound_ = soundCheck_->isChecked();
    done(kConfirmed);
}

void TrimDialog::reject() {
    done(kCancelled);
}

void TrimDialog::done(int result) {
    player_.close();
    QDialog::done(result);
}

void TrimDialog::takePlayerPosition(QLineEdit* field) {
    const std::optional<double> seconds = player_.currentPosition(kPositionAnswerLimit);
    if (!seconds) {
        showProblem(QStringLiteral("재생 위치를 알 수 없습니다. 먼저 재생해주세요."));
        return;
    }
    field->setText(toQt(formatTimeText(*seconds)));
}

void TrimDialog::showProblem(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("안내"), text, QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("확인"));
    box.exec();
}

}  // namespace torvane::app
