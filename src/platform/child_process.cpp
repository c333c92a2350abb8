#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/system_call.h"

extern char** environ;

namespace torvane {
namespace {

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// The file to execute: argv[0] itself when it names a path, else the first executable of that
// name on $PATH (as execvp looks), worked out before the fork so the child only calls execve.
std::string executablePath(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* searchPath = std::getenv("PATH");
    std::string_view rest = searchPath != nullptr && *searchPath != '\0' ? searchPath : "/bin:/usr/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        // An empty entry means the current folder.
        const std::string candidate = (folder.empty() ? std::string(".") : std::string(folder)) + "/" + program;
        struct stat facts {};
        if (::stat(candidate.c_str(), &facts) == 0 && S_ISREG(facts.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

// What the child needs between fork and exec, all prepared by the parent: the child of a
// threaded parent may only make async-signal-safe calls, so it must not allocate.
struct ChildSetup {
    const char* path = nullptr;
    char* const* argv = nullptr;
    const char* workingFolder = nullptr;  // nullptr: the parent's
    int streams[3] = {-1, -1, -1};        // what becomes standard input, output and error; -1: keep ours
    int reportFd = -1;                    // errno goes here when the child cannot get to exec
    pid_t parent = -1;
};

[[noreturn]] void failInChild(int reportFd) {
    const int code = errno;
    [[maybe_unused]] const ssize_t ignored = ::write(reportFd, &code, sizeof code);
    ::_exit(127);
}

// Runs in the forked child: async-signal-safe calls only, no return.
[[noreturn]] void becomeChild(const ChildSetup& setup) {
    // Every signal is still blocked (the parent blocked them around the fork): a handler of the
    // parent cannot run here before the dispositions are reset.
    // The kernel kills us when the thread that forked us ends, however it ends (SIGKILL
    // included). It reaches only this process, not anything it starts in turn: enough for the
    // encoders, flashgrab and the tools, which do not start programs of their own; a normal
    // stop ends the whole group anyway.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) failInChild(setup.reportFd);
    // The parent may have died before the request was made: then nobody would ever end us.
    if (::getppid() != setup.parent) ::_exit(127);
    // Its own process group: the whole group can be ended, and a terminal's Ctrl-C reaches only us.
    if (::setpgid(0, 0) != 0) failInChild(setup.reportFd);

    // The numbers >= 3 first, so that putting one on 0, 1 or 2 cannot overwrite another.
    int moved[3] = {-1, -1, -1};
    for (int target = 0; target < 3; ++target) {
        if (setup.streams[target] < 0) continue;
        moved[target] = ::fcntl(setup.streams[target], F_DUPFD_CLOEXEC, 3);
        if (moved[target] < 0) failInChild(setup.reportFd);
    }
    for (int target = 0; target < 3; ++target) {
        if (moved[target] >= 0 && ::dup2(moved[target], target) < 0) failInChild(setup.reportFd);
    }
    if (setup.workingFolder != nullptr && ::chdir(setup.workingFolder) != 0) failInChild(setup.reportFd);

    // Default handling of every signal: handlers would be reset by exec anyway, but an ignored
    // signal (SIGPIPE, or SIGINT in a background job) would stay ignored in the encoder.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal == SIGKILL || signal == SIGSTOP) continue;
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0) continue;  // numbers the C library keeps
        if (current.sa_handler != SIG_DFL) ::sigaction(signal, &byDefault, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    ::execve(setup.path, setup.argv, environ);
    failInChild(setup.reportFd);
}

}  // namespace

std::optional<SpawnedChild> spawnChild(const std::vector<std::string>& argv, const std::string& workingFolder,
                                       ChildStreams streams, std::string* error) {
    if (argv.empty() || argv[0].empty()) {
        if (error != nullptr) *error = "no program to start";
        return std::nullopt;
    }
    const auto fail = [&](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return std::nullopt;
    };
    const std::string path = executablePath(argv[0]);
    if (path.empty()) return fail(argv[0] + ": " + std::strerror(ENOENT));

    // Every descriptor is close-on-exec: the child gets only what is put on 0, 1 and 2.
    int input[2] = {-1, -1}, output[2] = {-1, -1}, errors[2] = {-1, -1}, report[2] = {-1, -1};
    int nothing = -1;
    const auto closeAll = [&] {
        for (int* pipe : {input, output, errors, report}) {
            closeIfOpen(pipe[0]);
            closeIfOpen(pipe[1]);
        }
        closeIfOpen(nothing);
    };
    ChildSetup setup;
    if (streams == ChildStreams::Piped) {
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(errors, O_CLOEXEC) != 0) {
            const std::string reason = std::string("cannot make pipes: ") + std::strerror(errno);
            closeAll();
            return fail(reason);
        }
        setup.streams[0] = input[0];
        setup.streams[1] = output[1];
        setup.streams[2] = errors[1];
    } else if (streams == ChildStreams::Silenced) {
        nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (nothing < 0) return fail(std::string("cannot open /dev/null: ") + std::strerror(errno));
        setup.streams[0] = setup.streams[1] = setup.streams[2] = nothing;
    }
    if (::pipe2(report, O_CLOEXEC) != 0) {
        const std::string reason = std::string("cannot make a pipe: ") + std::strerror(errno);
        closeAll();
        return fail(reason);
    }

    std::vector<char*> args;
    for (const std::string& argument : argv) args.push_back(const_cast<char*>(argument.c_str()));
    args.push_back(nullptr);
    setup.path = path.c_str();
    setup.argv = args.data();
    setup.workingFolder = workingFolder.empty() ? nullptr : workingFolder.c_str();
    setup.reportFd = report[1];
    setup.parent = ::getpid();

    // No handler of ours may run in the child before it has reset them.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) becomeChild(setup);
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) {
        closeAll();
        return fail(argv[0] + ": " + std::strerror(forkError));
    }

    // The report pipe closes at exec; anything read from it is why the child could not get there.
    closeIfOpen(report[1]);
    int childError = 0;
    const ssize_t got = retryOnInterrupt([&] { return ::read(report[0], &childError, sizeof childError); });
    if (got > 0) {
        waitForChild(pid);
        closeAll();
        return fail(argv[0] + ": " + std::strerror(childError));
    }

    SpawnedChild child;
    child.pid = pid;
    if (streams == ChildStreams::Piped) {
        child.stdinFd = std::exchange(input[1], -1);
        child.stdoutFd = std::exchange(output[0], -1);
        child.stderrFd = std::exchange(errors[0], -1);
    }
    closeAll();
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
