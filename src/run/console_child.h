#pragma once

#include <sys/types.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace torvane {

// The host of one console child with redirected standard input, output and error. Two reader
// threads pass what the child writes in chunks of at most 100 bytes to onStdout and onStderr;
// a watcher thread waits for the child (no polling) and calls onExited once all of its output
// has been passed on. onStarted runs on the thread that called start.
//
// The child runs in its own process group and never outlives the host: when it ends, whatever
// it left running in its group is ended too, and stop ends the whole group.
class ConsoleChild {
public:
    static constexpr std::size_t kChunkBytes = 100;

    ConsoleChild();
    virtual ~ConsoleChild();
    ConsoleChild(const ConsoleChild&) = delete;
    ConsoleChild& operator=(const ConsoleChild&) = delete;

    // Splits the command line into arguments (no shell) and starts the child in workingFolder.
    // On failure passes "Unable to start <command line>\n" and the reason to onStdout, starts
    // no thread and returns false: neither onStarted nor onExited follows.
    bool start(const std::string& commandLine, const std::string& workingFolder = {});

    // True from a successful start until the child has ended.
    bool isRunning() const;
    // Writes the text to the child's standard input; does nothing when there is none.
    void writeInput(std::string_view text);
    // Waits at most limit for the child to end; true when it has (or none runs).
    bool waitForExit(std::chrono::milliseconds limit);
    // Ends the child: SIGTERM to its group, then SIGKILL when it is still there after a bounded
    // wait. Returns as soon as the child is gone. Safe when idle, twice, and from any thread,
    // the watcher's own onExited included.
    void stop();
    // Holds the child's whole group still (SIGSTOP) or lets it go on (SIGCONT); nothing when
    // no child runs.
    void setPaused(bool paused);
    // The exit code of the last child (128 + signal number when a signal ended it).
    std::optional<int> exitStatus() const;

    // True while any host of the process watches a running child.
    static bool anyRunning();

protected:
    virtual void onStarted(const std::string& /*commandLine*/) {}
    virtual void onStdout(std::string_view /*chunk*/) {}
    virtual void onStderr(std::string_view /*chunk*/) {}
    virtual void onExited() {}

private:
    void readLoop(int fd, bool isError);
    void watch(pid_t pid, int stdoutFd, int stderrFd);
    void joinWatcher();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    bool running_ = false;
    std::optional<int> exitStatus_;
    std::thread watcher_;
};

// Runs a program with its arguments (one text, split as command lines are) to its end, writing
// where we write. False only when the program file does not exist; a program that cannot be
// started counts as run.
bool runAndWait(const std::string& programPath, const std::string& arguments);

// Runs a program with arguments to its end, its output going nowhere. False only when the
// program file does not exist; a program that cannot be started counts as run.
bool runHiddenAndWait(const std::string& programPath, const std::vector<std::string>& arguments);

}  // namespace torvane
