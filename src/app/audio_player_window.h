#pragma once

#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;

namespace torvane::app {

// The player of a file without a picture: mplayer has no window of its own then, so this small
// window shows what plays, where it is and how long it lasts, with a button that stops it.
// mplayer runs in slave mode as our child; stopping or closing the window ends it, and it ends
// with the program.
class AudioPlayerWindow : public QWidget {
    Q_OBJECT

public:
    // playerPath: the mplayer program to run.
    explicit AudioPlayerWindow(QString playerPath, QWidget* parent = nullptr);
    ~AudioPlayerWindow() override;

    // Plays the file from its start, ending what played before.
    void play(const QString& path);
    // Ends the player; the window stays, its button plays the file again.
    void stop();

    // The running player's process id; 0 when none runs.
    qint64 playerProcessId() const;
    QLabel* nameLabel() const { return name_; }
    QLabel* positionLabel() const { return position_; }
    QPushButton* stopButton() const { return button_; }

    // mplayer's arguments for the file: slave mode (commands on its standard input, answers on
    // its output) and no video output.
    static QStringList playerArguments(const QString& path);

signals:
    // The player said where it is, in seconds of the file.
    void positionChanged(double seconds);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void readAnswers();
    void playerEnded();
    void showPosition();
    void endPlayer();

    QString playerPath_;
    QString path_;
    QProcess player_;
    // Asks the player where it is, twice a second, while it plays.
    QTimer ask_;
    QLabel* name_ = nullptr;
    QLabel* position_ = nullptr;
    QPushButton* button_ = nullptr;
    bool playing_ = false;
    double seconds_ = 0.0;
    std::optional<double> length_;
};

}  // namespace torvane::app
