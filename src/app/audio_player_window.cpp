#include "app/audio_player_window.h"

#include <sys/prctl.h>

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <csignal>

#include "app/app_icon.h"

namespace torvane::app {
namespace {

// Often enough for a clock that counts seconds.
constexpr int kAskEveryMs = 500;
// mplayer ends at once on SIGTERM; one that does not is killed after this.
constexpr int kPlayerEndGraceMs = 1000;
const QByteArray kPositionAnswer = QByteArrayLiteral("ANS_TIME_POSITION=");
const QByteArray kLengthAnswer = QByteArrayLiteral("ID_LENGTH=");

// "0:01:05"
QString clockText(double seconds) {
    const auto whole = static_cast<long long>(std::floor(std::max(seconds, 0.0)));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

AudioPlayerWindow::AudioPlayerWindow(QString playerPath, QWidget* parent)
    : QWidget(parent, Qt::Window), playerPath_(std::move(playerPath)) {
    setWindowIcon(appIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    name_ = new QLabel(this);
    name_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    position_ = new QLabel(this);
    button_ = new QPushButton(this);
    auto* row = new QHBoxLayout;
    row->addWidget(position_, 1);
    row->addWidget(button_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addLayout(row);
    setMinimumWidth(360);

    // Only the answers matter; what mplayer complains about would only clutter our output.
    player_.setStandardErrorFile(QProcess::nullDevice());
    // Never a player that plays on with nobody to stop it: it ends when the program does.
    player_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(&player_, &QProcess::readyReadStandardOutput, this, &AudioPlayerWindow::readAnswers);
    connect(&player_, &QProcess::started, &ask_, qOverload<>(&QTimer::start));
    connect(&player_, &QProcess::finished, this, &AudioPlayerWindow::playerEnded);
    connect(&player_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) playerEnded();
    });
    ask_.setInterval(kAskEveryMs);
    connect(&ask_, &QTimer::timeout, this, [this] {
        if (player_.state() == QProcess::Running) player_.write("get_time_pos\n");
    });
    connect(button_, &QPushButton::clicked, this, [this] {
        if (player_.state() == QProcess::NotRunning) {
            play(path_);
        } else {
            stop();
        }
    });
}

AudioPlayerWindow::~AudioPlayerWindow() {
    // A window being destroyed shows nothing more: the player ends without telling it.
    disconnect(&player_, nullptr, this, nullptr);
    endPlayer();
}

QStringList AudioPlayerWindow::playerArguments(const QString& path) {
    // -identify tells the length; a file whose name begins with "-" is still a file.
    return {QStringLiteral("-slave"),   QStringLiteral("-quiet"), QStringLiteral("-identify"),
            QStringLiteral("-novideo"), QStringLiteral("--"),     path};
}

void AudioPlayerWindow::play(const QString& path) {
    endPlayer();
    path_ = path;
    seconds_ = 0.0;
    length_.reset();
    const QString fileName = QFileInfo(path).fileName();
    name_->setText(fileName);
    setWindowTitle(fileName + QStringLiteral(" - 토르베인"));
    button_->setText(QStringLiteral("정지"));
    playing_ = true;
    showPosition();
    player_.start(playerPath_, playerArguments(path));
}

void AudioPlayerWindow::stop() {
    endPlayer();
}

qint64 AudioPlayerWindow::playerProcessId() const {
    return player_.state() == QProcess::NotRunning ? 0 : player_.processId();
}

void AudioPlayerWindow::readAnswers() {
    while (player_.canReadLine()) {
        const QByteArray line = player_.readLine().trimmed();
        if (line.startsWith(kPositionAnswer)) {
            seconds_ = line.mid(kPositionAnswer.size()).toDouble();
            showPosition();
            emit positionChanged(seconds_);
        } else if (line.startsWith(kLengthAnswer)) {
            bool ok = false;
            const double length = line.mid(kLengthAnswer.size()).toDouble(&ok);
            // A stream without a known length says 0.
            if (ok && length > 0.0) length_ = length;
            showPosition();
        }
    }
}

void AudioPlayerWindow::playerEnded() {
    ask_.stop();
    playing_ = false;
    button_->setText(QStringLiteral("다시 재생"));
    if (player_.error() == QProcess::FailedToStart) {
        position_->setText(QStringLiteral("플레이어(mplayer)를 실행할 수 없습니다."));
    } else {
        showPosition();
    }
}

void AudioPlayerWindow::showPosition() {
    QString text = clockText(seconds_);
    if (length_) text += QStringLiteral(" / ") + clockText(*length_);
    if (!playing_) text += QStringLiteral("  (정지됨)");
    position_->setText(text);
}

void AudioPlayerWindow::endPlayer() {
    if (player_.state() == QProcess::NotRunning) return;
    player_.terminate();
    if (!player_.waitForFinished(kPlayerEndGraceMs)) {
        player_.kill();
        player_.waitForFinished(kPlayerEndGraceMs);
    }
}

void AudioPlayerWindow::closeEvent(QCloseEvent* event) {
    endPlayer();
    event->accept();
}

}  // namespace torvane::app
