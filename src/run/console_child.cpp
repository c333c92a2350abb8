#include "run/console_child.h"

#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <csignal>

#include "command/command_line_split.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "platform/system_call.h"

namespace torvane {
namespace {

std::atomic<int> runningChildren{0};

constexpr auto kTermGrace = std::chrono::milliseconds(2000);
constexpr auto kKillGrace = std::chrono::milliseconds(2000);

// A child that closes its end of standard input must not kill us with SIGPIPE on the next
// write: the write fails with EPIPE instead.
void ignoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

}  // namespace

ConsoleChild::ConsoleChild() {
    ignoreBrokenPipes();
}

ConsoleChild::~ConsoleChild() {
    stop();
    joinWatcher();
}

bool ConsoleChild::anyRunning() {
    return runningChildren.load() > 0;
}

bool ConsoleChild::start(const std::string& commandLine, const std::string& workingFolder) {
    stop();
    joinWatcher();
    std::string error;
    const auto child = spawnChild(splitCommandLine(commandLine), workingFolder, ChildStreams::Piped, &error);
    if (!child) {
        onStdout("Unable to start " + commandLine + "\n");
        onStdout(error + "\n");
        return false;
    }
    {
        const std::lock_guard lock(mutex_);
        pid_ = child->pid;
        stdinFd_ = child->stdinFd;
        running_ = true;
        exitStatus_.reset();
    }
    ++runningChildren;
    watcher_ = std::thread(&ConsoleChild::watch, this, child->pid, child->stdoutFd, child->stderrFd);
    onStarted(commandLine);
    return true;
}

bool ConsoleChild::isRunning() const {
    const std::lock_guard lock(mutex_);
    return running_;
}

void ConsoleChild::writeInput(std::string_view text) {
    const std::lock_guard lock(mutex_);
    if (stdinFd_ < 0 || text.empty()) return;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n =
            retryOnInterrupt([&] { return ::write(stdinFd_, text.data() + written, text.size() - written); });
        if (n <= 0) return;  // the child no longer reads: nothing to do about it
        written += static_cast<std::size_t>(n);
    }
}

bool ConsoleChild::waitForExit(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return !running_; });
}

std::optional<int> ConsoleChild::exitStatus() const {
    const std::lock_guard lock(mutex_);
    return exitStatus_;
}

void ConsoleChild::stop() {
    std::unique_lock lock(mutex_);
    if (running_ && pid_ > 0) {
        // The group id is the child's pid; it stays ours until the watcher reaps the child.
        ::kill(-pid_, SIGTERM);
        // A paused child acts on nothing but SIGKILL until it is let go on.
        ::kill(-pid_, SIGCONT);
        if (!changed_.wait_for(lock, kTermGrace, [this] { return !running_; })) {
            ::kill(-pid_, SIGKILL);
            changed_.wait_for(lock, kKillGrace, [this] { return !running_; });
        }
    }
    if (stdinFd_ >= 0) {
        ::close(stdinFd_);
        stdinFd_ = -1;
    }
    lock.unlock();
    joinWatcher();
}

void ConsoleChild::setPaused(bool paused) {
    const std::lock_guard lock(mutex_);
    if (running_ && pid_ > 0) ::kill(-pid_, paused ? SIGSTOP : SIGCONT);
}

void ConsoleChild::joinWatcher() {
    // The watcher cannot join itself (stop from inside onExited): it is finishing anyway.
    if (!watcher_.joinable()) return;
    if (watcher_.get_id() == std::this_thread::get_id()) {
        watcher_.detach();
    } else {
        watcher_.join();
    }
}

void ConsoleChild::readLoop(int fd, bool isError) {
    char buffer[kChunkBytes];
    while (true) {
        const ssize_t n = retryOnInterrupt([&] { return ::read(fd, buffer, sizeof buffer); });
        if (n <= 0) break;  // end of file: every writer of the pipe is gone
        const std::string_view chunk(buffer, static_cast<std::size_t>(n));
        isError ? onStderr(chunk) : onStdout(chunk);
    }
    ::close(fd);
}

void ConsoleChild::watch(pid_t pid, int stdoutFd, int stderrFd) {
    std::thread outReader(&ConsoleChild::readLoop, this, stdoutFd, false);
    std::thread errReader(&ConsoleChild::readLoop, this, stderrFd, true);

    // Wait for the end without reaping, so the group id cannot be reused while we end the rest
    // of the group: anything the child left running would keep the pipes open.
    siginfo_t info{};
    retryOnInterrupt([&] { return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT); });
    ::kill(-pid, SIGKILL);
    outReader.join();
    errReader.join();
    const int status = waitForChild(pid);
    {
        const std::lock_guard lock(mutex_);
        running_ = false;
        exitStatus_ = status;
        pid_ = -1;
    }
    --runningChildren;
    changed_.notify_all();
    onExited();
}

bool runAndWait(const std::string& programPath, const std::string& arguments) {
    if (!pathExists(programPath)) return false;
    std::vector<std::string> argv = {programPath};
    for (std::string& argument : splitCommandLine(arguments)) argv.push_back(std::move(argument));
    std::string error;
    if (const auto child = spawnChild(argv, {}, ChildStreams::Inherited, &error)) waitForChild(child->pid);
    return true;
}

bool runHiddenAndWait(const std::string& programPath, const std::vector<std::string>& arguments) {
    if (!pathExists(programPath)) return false;
    std::vector<std::string> argv = {programPath};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string error;
    if (const auto child = spawnChild(argv, {}, ChildStreams::Silenced, &error)) waitForChild(child->pid);
    return true;
}

}  // namespace torvane
