#include "app/trim_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "app/app_icon.h"
#include "app/qt_text.h"

namespace torvane::app {
namespace {

// mplayer answers within a frame or two; a player that does not answer must not hold the window.
constexpr std::chrono::milliseconds kPositionAnswerLimit(1000);
// The slider follows a playing clip about four times a second.
constexpr std::chrono::milliseconds kFollowInterval(250);
constexpr int kSliderSteps = 100;

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
      // Answers come on the player's reader thread; the dialog reads them on its own.
      player_(playerPath,
              [this] { QMetaObject::invokeMethod(this, &TrimDialog::showPlayerAnswer, Qt::QueuedConnection); }),
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
    slider_->setRange(0, kSliderSteps);
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
    QPushButton* cancel = button("취 소", "cancelButton");
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

    // The program moves the slider only with its signals blocked, so every change is the user's;
    // while it is dragged, the player seeks once, where it is let go.
    connect(slider_, &QSlider::valueChanged, this, [this] {
        if (!slider_->isSliderDown()) seekToSlider();
    });
    connect(slider_, &QSlider::sliderReleased, this, &TrimDialog::seekToSlider);
    follow_ = new QTimer(this);
    follow_->setInterval(kFollowInterval);
    connect(follow_, &QTimer::timeout, this, &TrimDialog::followPlayer);
    connect(play, &QPushButton::clicked, this, [this] {
        player_.resume();
        follow_->start();
    });
    connect(pause, &QPushButton::clicked, this, [this] { player_.pause(); });
    // "중지" stops: back to the first frame, paused there, as the dialog opened.
    connect(stop, &QPushButton::clicked, this, [this] {
        player_.stopAtStart();
        showPosition(0);
    });
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
    follow_->stop();
    player_.close();
    QDialog::done(result);
}

double TrimDialog::durationSeconds() const {
    if (item_.media.durationExact > 0) return static_cast<double>(item_.media.durationExact);
    return player_.length().value_or(0.0);
}

void TrimDialog::seekToSlider() {
    const double duration = durationSeconds();
    if (duration <= 0) return;
    const std::optional<double> landed =
        player_.seekTo(duration * slider_->value() / kSliderSteps, kPositionAnswerLimit);
    // The slider shows the frame the player could land on (a key frame), not the one asked for.
    if (landed) showPosition(*landed);
}

void TrimDialog::followPlayer() {
    // Asked without waiting, so that the window never waits for the player; showPlayerAnswer
    // moves the slider when the answer is in.
    if (!player_.playingFlag()) return;
    player_.askPosition();
    followAsked_ = true;
}

void TrimDialog::showPlayerAnswer() {
    // A paused player stands where the last seek showed it; the user's hand on the slider wins.
    // Only the answers to its own questions move it: a seek's answers are shown by the seek.
    if (!followAsked_ || !player_.playingFlag() || slider_->isSliderDown()) return;
    followAsked_ = false;
    if (const std::optional<double> seconds = player_.lastPosition()) showPosition(*seconds);
}

void TrimDialog::showPosition(double seconds) {
    const double duration = durationSeconds();
    if (duration <= 0) return;
    const QSignalBlocker quiet(slider_);
    slider_->setValue(static_cast<int>(std::lround(std::clamp(seconds / duration, 0.0, 1.0) * kSliderSteps)));
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
