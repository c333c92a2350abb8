#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include "platform/system_call.h"

extern char** environ;

namespace torvane {
namespace {

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::optional<SpawnedChild> spawnChild(const std::vector<std::string>& argv, const std::string& workingFolder,
                                       ChildStreams streams, std::string* error) {
    if (argv.empty() || argv[0].empty()) {
        if (error != nullptr) *error = "no program to start";
        return std::nullopt;
    }
    // Pipes are close-on-exec: the child gets only the ends dup2 puts on 0, 1 and 2.
    int input[2] = {-1, -1}, output[2] = {-1, -1}, errors[2] = {-1, -1};
    const auto closeAll = [&] {
        for (int* pipe : {input, output, errors}) {
            closeIfOpen(pipe[0]);
            closeIfOpen(pipe[1]);
        }
    };
    if (streams == ChildStreams::Piped &&
        (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(errors, O_CLOEXEC) != 0)) {
        if (error != nullptr) *error = std::string("cannot make pipes: ") + std::strerror(errno);
        closeAll();
        return std::nullopt;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (streams == ChildStreams::Piped) {
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    } else if (streams == ChildStreams::Silenced) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());

    // Its own process group (so the whole group can be ended, and a terminal's Ctrl-C reaches
    // only us), no blocked signals, and default handling of the signals we may ignore.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    for (const std::string& argument : argv) args.push_back(const_cast<char*>(argument.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const bool hasPath = argv[0].find('/') != std::string::npos;
    const int result = hasPath ? ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ)
                               : ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        if (error != nullptr) *error = argv[0] + ": " + std::strerror(result);
        closeAll();
        return std::nullopt;
    }

    SpawnedChild child;
    child.pid = pid;
    if (streams == ChildStreams::Piped) {
        closeIfOpen(input[0]);
        closeIfOpen(output[1]);
        closeIfOpen(errors[1]);
        child.stdinFd = input[1];
        child.stdoutFd = output[0];
        child.stderrFd = errors[0];
    }
    return child;
}

std::optional<std::string> runForOutput(const std::vector<std::string>& argv) {
    std::string error;
    auto child = spawnChild(argv, {}, ChildStreams::Piped, &error);
    if (!child) return std::nullopt;
    closeIfOpen(child->stdinFd);
    // Standard error is drained by a thread of its own, so neither pipe can fill and stall the child.
    std::thread drainErrors([fd = child->stderrFd] {
        char buffer[4096];
        while (retryOnInterrupt([&] { return ::read(fd, buffer, sizeof buffer); }) > 0) {
        }
        ::close(fd);
    });
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = retryOnInterrupt([&] { return ::read(child->stdoutFd, buffer, sizeof buffer); })) > 0;) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    closeIfOpen(child->stdoutFd);
    drainErrors.join();
    if (waitForChild(child->pid) != 0) return std::nullopt;
    return output;
}

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Reaps the child when it has ended; true then, with its status.
bool reapIfEnded(pid_t pid, int* exitStatus) {
    int status = 0;
    const pid_t done = retryOnInterrupt([&] { return ::waitpid(pid, &status, WNOHANG); });
    if (done != pid && done >= 0) return false;
    if (exitStatus != nullptr) {
        *exitStatus = done < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return true;
}

// Waits until the child has ended or the deadline passed; true when it ended (and was reaped).
bool reapBefore(pid_t pid, Clock::time_point deadline, int* exitStatus) {
    if (reapIfEnded(pid, exitStatus)) return true;
    // A process descriptor becomes readable when the child ends, so the wait needs no polling.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        pollfd entry{pidFd, POLLIN, 0};
        retryOnInterrupt([&] { return ::poll(&entry, 1, millisecondsLeft(deadline)); });
        ::close(pidFd);
        return reapIfEnded(pid, exitStatus);
    }
    // Kernels without process descriptors: look again every few milliseconds until the deadline.
    while (millisecondsLeft(deadline) > 0) {
        ::poll(nullptr, 0, std::min(10, millisecondsLeft(deadline)));
        if (reapIfEnded(pid, exitStatus)) return true;
    }
    return false;
}

}  // namespace

std::string collectOutputWithin(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
    std::string error;
    auto child = spawnChild(argv, {}, ChildStreams::Piped, &error);
    if (!child) return {};
    closeIfOpen(child->stdinFd);
    const Clock::time_point deadline = Clock::now() + limit;
    std::string output;
    pollfd fds[2] = {{child->stdoutFd, POLLIN, 0}, {child->stderrFd, POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const int ready = retryOnInterrupt([&] { return ::poll(fds, 2, millisecondsLeft(deadline)); });
        if (ready <= 0) break;  // the time is up
        for (pollfd& entry : fds) {
            if (entry.fd < 0 || entry.revents == 0) continue;
            char buffer[4096];
            const ssize_t n = retryOnInterrupt([&] { return ::read(entry.fd, buffer, sizeof buffer); });
            if (n > 0) {
                output.append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(entry.fd);
                entry.fd = -1;
                --open;
            }
        }
    }
    for (pollfd& entry : fds) closeIfOpen(entry.fd);
    endChildGroup(child->pid, std::chrono::milliseconds(2000));
    return output;
}

std::optional<std::string> readLineWithin(int fd, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    std::string line;
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        if (retryOnInterrupt([&] { return ::poll(&entry, 1, millisecondsLeft(deadline)); }) <= 0) return std::nullopt;
        char c = 0;
        if (retryOnInterrupt([&] { return ::read(fd, &c, 1); }) != 1) return std::nullopt;
        if (c == '\n') return line;
        line += c;
    }
}

int endChildGroup(pid_t pid, std::chrono::milliseconds grace) {
    int status = -1;
    if (reapBefore(pid, Clock::now(), &status)) return status;
    ::kill(-pid, SIGTERM);
    if (reapBefore(pid, Clock::now() + grace, &status)) return status;
    ::kill(-pid, SIGKILL);
    return waitForChild(pid);
}

int waitForChild(pid_t pid) {
    int status = 0;
    if (retryOnInterrupt([&] { return ::waitpid(pid, &status, 0); }) < 0) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace torvane
