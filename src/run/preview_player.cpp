#include "run/preview_player.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "command/command_text.h"
#include "run/console_child.h"
#include "run/line_assembler.h"

namespace torvane {
namespace {

// The Windows player's options with outputs that mplayer has on Linux: video through Xv, OpenGL
// or plain X11 (null without a display), sound through PulseAudio or ALSA, none without a
// sound device, so that a machine without one still shows the picture.
constexpr std::string_view kOptionsBeforeWindow =
    " -noquiet -nofs -nomouseinput -sub-fuzziness 1 -identify -slave -vo xv,gl,x11,null -ao pulse,alsa,null"
    " -nokeepaspect -framedrop -nodr -double -wid ";
constexpr std::string_view kOptionsAfterWindow =
    " -monitorpixelaspect 1 -subfont-autoscale 0 -subfont-osd-scale 20 -subfont-text-scale 20 -subcp CP949"
    " -subpos 100 -volume 50 -nocache -osdlevel 0 -vf-add screenshot -slices -channels 2"
    " -af scaletempo,equalizer=0:0:0:0:0:0:0:0:0:0 -softvol -softvol-max 110 ";
constexpr std::string_view kPositionAnswer = "ANS_TIME_POSITION=";

}  // namespace

// Reads the player's output only for the answer to a position question; the rest is dropped.
class PreviewPlayer::Host : public ConsoleChild {
public:
    ~Host() override {
        // The readers call onStdout until the child is gone: end it while this object is whole.
        stop();
    }

    // Forgets an earlier answer, so that the next one is the answer to the question asked now.
    void expectAnswer() {
        const std::lock_guard lock(answerMutex_);
        answer_.reset();
    }

    std::optional<double> waitForAnswer(std::chrono::milliseconds limit) {
        std::unique_lock lock(answerMutex_);
        answered_.wait_for(lock, limit, [this] { return answer_.has_value(); });
        return answer_;
    }

protected:
    void onStdout(std::string_view chunk) override {
        for (const std::string& line : lines_.append(chunk)) {
            if (!line.starts_with(kPositionAnswer)) continue;
            const double seconds = std::strtod(line.c_str() + kPositionAnswer.size(), nullptr);
            {
                const std::lock_guard lock(answerMutex_);
                answer_ = seconds;
            }
            answered_.notify_all();
        }
    }

private:
    LineAssembler lines_;  // used by the standard output reader alone
    std::mutex answerMutex_;
    std::condition_variable answered_;
    std::optional<double> answer_;
};

PreviewPlayer::PreviewPlayer(std::string playerPath)
    : playerPath_(std::move(playerPath)), host_(std::make_unique<Host>()) {}

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
    host_->start(commandLine(playerPath_, path, windowId));
    playingFlag_ = true;
}

void PreviewPlayer::resume() {
    if (!host_->isRunning() && !mediaPath_.empty()) {
        openMedia(mediaPath_, windowId_);
        return;
    }
    if (playingFlag_) return;
    host_->writeInput("p\r\n");
    playingFlag_ = true;
}

void PreviewPlayer::pause() {
    if (!playingFlag_) return;
    host_->writeInput("p\r\n");
    playingFlag_ = false;
}

void PreviewPlayer::seekPercent(int percent) {
    host_->writeInput("seek " + std::to_string(percent) + " 1\r\n");
    // mplayer leaves its pause for any command that is not marked to keep it.
    playingFlag_ = true;
}

std::optional<double> PreviewPlayer::currentPosition(std::chrono::milliseconds limit) {
    if (!host_->isRunning()) return std::nullopt;
    host_->expectAnswer();
    // Asked without leaving a pause: the user may be looking for the frame to start at.
    host_->writeInput("pausing_keep_force get_time_pos\n");
    return host_->waitForAnswer(limit);
}

void PreviewPlayer::close() {
    host_->stop();
}

bool PreviewPlayer::isRunning() const {
    return host_->isRunning();
}

}  // namespace torvane
