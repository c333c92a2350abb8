#include "run/flash_grabber.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "platform/child_process.h"
#include "platform/child_wait.h"

namespace torvane {
namespace {

// flashgrab reads the movie's header and makes its pipe at once; a start slower than this is a
// flashgrab that will not run.
constexpr std::chrono::milliseconds kReadyLimit{10000};
// A flashgrab that has written its last frame ends by itself; one blocked on a pipe nobody
// opens is ended.
constexpr std::chrono::milliseconds kEndGrace{1000};

}  // namespace

std::unique_ptr<FlashGrabber> FlashGrabber::start(const std::string& flashgrabPath, const std::string& moviePath,
                                                  const std::string& pipeId, const std::string& width,
                                                  const std::string& height, long firstFrame, long lastFrame,
                                                  std::string* error) {
    // Each option and its value one argument: a path with blanks or dashes reaches it whole.
    std::vector<std::string> argv = {flashgrabPath, "-file", moviePath, "-p", pipeId, "-w", width, "-h", height};
    if (firstFrame > 1) argv.insert(argv.end(), {"-from", std::to_string(firstFrame)});
    if (lastFrame > 0) argv.insert(argv.end(), {"-to", std::to_string(lastFrame)});
    auto child = spawnChild(argv, {}, ChildStreams::Piped, error);
    if (!child) return nullptr;
    // Only the "ready" line is read; flashgrab has nothing else to say.
    ::close(child->stdinFd);
    ::close(child->stderrFd);
    std::unique_ptr<FlashGrabber> grabber(new FlashGrabber(child->pid, child->stdoutFd));
    const auto line = readLineWithin(child->stdoutFd, kReadyLimit);
    if (!line || *line != "ready") {
        *error = "flashgrab이(가) 프레임 파이프를 만들지 못했습니다: " + moviePath;
        return nullptr;
    }
    return grabber;
}

FlashGrabber::Ending FlashGrabber::finish(std::chrono::milliseconds limit) {
    Ending ending;
    if (ended_) return ending;
    ended_ = true;
    const std::optional<int> status = status_ ? status_ : waitForChildWithin(pid_, limit);
    ending.status = status ? *status : -1;
    if (!status) endChildGroup(pid_, kEndGrace);
    // After "ready" flashgrab says only how many frames it sent: "frames N".
    if (const auto line = readLineWithin(stdoutFd_, std::chrono::milliseconds(0));
        line && line->starts_with("frames ")) {
        ending.frames = std::strtol(line->c_str() + 7, nullptr, 10);
    }
    return ending;
}

std::optional<int> FlashGrabber::endedStatus() {
    if (status_ || ended_) return status_;
    int raw = 0;
    if (::waitpid(pid_, &raw, WNOHANG) != pid_) return std::nullopt;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    return status_;
}

std::string FlashGrabber::failureText(int status) {
    if (status == 0) return {};
    if (status > 128) return "flashgrab이(가) 신호 " + std::to_string(status - 128) + "로 강제 종료되었습니다";
    if (status < 0) return "flashgrab이(가) 끝나지 않아 종료했습니다";
    return "flashgrab이(가) 종료 코드 " + std::to_string(status) + "로 끝났습니다";
}

FlashGrabber::~FlashGrabber() {
    if (!ended_ && !status_) endChildGroup(pid_, kEndGrace);
    ::close(stdoutFd_);
}

}  // namespace torvane
