#include "run/preview_player.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

#include "command/command_text.h"
#include "run/console_child.h"
#include "run/line_assembler.h"

namespace torvane {
namespace {

// The Windows player's options with outputs that mplayer has on Linux: video through Xv, OpenGL
// or plain X11 (null without a display), sound through PulseAudio or ALSA, none without a
// sound device, so that a machine without one still shows the picture. It starts at volume 0,
// so that nothing sounds before "재생".
constexpr std::string_view kOptionsBeforeWindow =
    " -noquiet -nofs -nomouseinput -sub-fuzziness 1 -identify -slave -vo xv,gl,x11,null -ao pulse,alsa,null"
    " -nokeepaspect -framedrop -nodr -double -wid ";
constexpr std::string_view kOptionsAfterWindow =
    " -monitorpixelaspect 1 -subfont-autoscale 0 -subfont-osd-scale 20 -subfont-text-scale 20 -subcp CP949"
    " -subpos 100 -volume 0 -nocache -osdlevel 0 -vf-add screenshot -slices -channels 2"
    " -af scaletempo,equalizer=0:0:0:0:0:0:0:0:0:0 -softvol -softvol-max 110 ";
constexpr std::string_view kPositionAnswer = "ANS_TIME_POSITION=";
constexpr std::string_view kLengthAnswer = "ANS_LENGTH=";
// The volume of the Windows player's command line, set on the first "재생".
constexpr std::string_view kSoundOn = "pausing_keep_force volume 50 1\n";
// "pausing": the player pauses after the command, on the frame it landed on.
constexpr std::string_view kToFirstFramePaused = "pausing seek 0 2\n";
// Questions that neither leave nor take a pause: the user may be looking for a frame.
constexpr std::string_view kAskPosition = "pausing_keep_force get_time_pos\n";
constexpr std::string_view kAskLength = "pausing_keep_force get_time_length\n";
// mplayer answers positions to a tenth of a second.
constexpr double kLandedCloseEnough = 0.1;

// Numbers are read and written without the locale: the player's "12.5" is 12.5 under any.
std::optional<double> numberAfter(std::string_view line, std::string_view prefix) {
    double value = 0;
    const char* first = line.data() + prefix.size();
    const auto [end, error] = std::from_chars(first, line.data() + line.size(), value);
    if (error != std::errc() || end == first) return std::nullopt;
    return value;
}

std::string seekCommand(double seconds, int mode) {
    char number[32];
    const auto result = std::to_chars(number, number + sizeof number, seconds, std::chars_format::fixed, 3);
    // "pausing_keep": a paused player shows the new frame and stays paused; a playing one plays on.
    return "pausing_keep seek " + std::string(number, result.ptr) + " " + std::to_string(mode) + "\n";
}

}  // namespace

// Reads the player's output only for the answers to its questions; the rest is dropped. mplayer
// answers its questions in the order asked, so the answer to the n-th question has come once n
// answers have.
class PreviewPlayer::Host : public ConsoleChild {
public:
    explicit Host(std::function<void()> onAnswer) : onAnswer_(std::move(onAnswer)) {}
    ~Host() override {
        // The readers call onStdout until the child is gone: end it while this object is whole.
        stop();
    }

    // Forgets the answers of an earlier player.
    void reset() {
        const std::lock_guard lock(mutex_);
        asked_ = answered_ = 0;
        position_.reset();
        length_.reset();
    }

    // Writes the question and returns its number.
    std::uint64_t ask(std::string_view question) {
        {
            const std::lock_guard lock(mutex_);
            ++asked_;
        }
        writeInput(question);
        const std::lock_guard lock(mutex_);
        return asked_;
    }

    // The position once the question numbered `question` is answered; nullopt after `limit`.
    std::optional<double> waitForAnswer(std::uint64_t question, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        if (answeredChanged_.wait_for(lock, limit, [&] { return answered_ >= question; })) return position_;
        // A question the player dropped must not hold up the answers to the next ones.
        answered_ = std::max(answered_, question);
        return std::nullopt;
    }

    std::optional<double> position() const {
        const std::lock_guard lock(mutex_);
        return position_;
    }

    std::optional<double> length() const {
        const std::lock_guard lock(mutex_);
        return length_;
    }

protected:
    void onStdout(std::string_view chunk) override {
        for (const std::string& line : lines_.append(chunk)) {
            const bool isPosition = line.starts_with(kPositionAnswer);
            if (!isPosition && !line.starts_with(kLengthAnswer)) continue;
            {
                const std::lock_guard lock(mutex_);
                if (isPosition) {
                    position_ = numberAfter(line, kPositionAnswer);
                } else {
                    length_ = numberAfter(line, kLengthAnswer);
                }
                ++answered_;
            }
            answeredChanged_.notify_all();
            if (onAnswer_) onAnswer_();
        }
    }

private:
    const std::function<void()> onAnswer_;
    LineAssembler lines_;  // used by the standard output reader alone
    mutable std::mutex mutex_;
    std::condition_variable answeredChanged_;
    std::uint64_t asked_ = 0;
    std::uint64_t answered_ = 0;
    std::optional<double> position_;
    std::optional<double> length_;
};

PreviewPlayer::PreviewPlayer(std::string playerPath, std::function<void()> onAnswer)
    : playerPath_(std::move(playerPath)), host_(std::make_unique<Host>(std::move(onAnswer))) {}

PreviewPlayer::~PreviewPlayer() {
    close();
}

std::string PreviewPlayer::commandLine(const std::string& playerPath, const std::string& mediaPath,
                                       std::uint64_t windowId) {
    return quoted(playerPath) + std::string(kOptionsBeforeWindow) + std::to_string(windowId) +
           std::string(kOptionsAfterWindow) + quoted(mediaPath);
}

void PreviewPlayer::openMedia(const std::string& path, std::uint64_t windowId) {
    mediaPath_ = path;
    windowId_ = windowId;
    host_->stop();
    host_->reset();
    host_->start(commandLine(playerPath_, path, windowId));
    // Read once the file is open: the player shows its first frame and waits there.
    host_->writeInput(kToFirstFramePaused);
    playingFlag_ = false;
    soundOn_ = false;
}

void PreviewPlayer::resume() {
    if (!host_->isRunning() && !mediaPath_.empty()) openMedia(mediaPath_, windowId_);
    if (playingFlag_ || !host_->isRunning()) return;
    if (!soundOn_) {
        host_->writeInput(kSoundOn);
        soundOn_ = true;
    }
    host_->writeInput("pause\n");
    playingFlag_ = true;
}

void PreviewPlayer::pause() {
    if (!playingFlag_) return;
    host_->writeInput("pause\n");
    playingFlag_ = false;
}

void PreviewPlayer::stopAtStart() {
    host_->writeInput(kToFirstFramePaused);
    playingFlag_ = false;
}

std::optional<double> PreviewPlayer::seekTo(double seconds, std::chrono::milliseconds limit) {
    if (!host_->isRunning()) return std::nullopt;
    seconds = std::max(seconds, 0.0);
    // Mode 2: absolute seconds. The player lands on the first key frame at or after them.
    host_->writeInput(seekCommand(seconds, 2));
    const std::optional<double> after = askAndWait(limit);
    if (!after || *after - seconds <= kLandedCloseEnough) return after;
    // A relative seek back (mode 0) lands on the key frame at or before the target instead.
    host_->writeInput(seekCommand(seconds - *after, 0));
    const std::optional<double> before = askAndWait(limit);
    if (!before || seconds - *before <= *after - seconds) return before;
    host_->writeInput(seekCommand(seconds, 2));
    return askAndWait(limit);
}

std::optional<double> PreviewPlayer::currentPosition(std::chrono::milliseconds limit) {
    return askAndWait(limit);
}

std::optional<double> PreviewPlayer::askAndWait(std::chrono::milliseconds limit) {
    if (!host_->isRunning()) return std::nullopt;
    return host_->waitForAnswer(host_->ask(kAskPosition), limit);
}

void PreviewPlayer::askPosition() {
    if (!host_->isRunning()) return;
    if (!host_->length()) host_->ask(kAskLength);
    host_->ask(kAskPosition);
}

std::optional<double> PreviewPlayer::lastPosition() const {
    return host_->position();
}

std::optional<double> PreviewPlayer::length() const {
    return host_->length();
}

void PreviewPlayer::close() {
    host_->stop();
}

bool PreviewPlayer::isRunning() const {
    return host_->isRunning();
}

}  // namespace torvane
