#pragma once

#include <sys/types.h>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace torvane {

// A started child: its process id (also the id of its own process group) and the parent's
// ends of its standard input, output and error (-1 where not redirected).
struct SpawnedChild {
    pid_t pid = -1;
    int stdinFd = -1;
    int stdoutFd = -1;
    int stderrFd = -1;
};

enum class ChildStreams {
    Piped,      // standard input, output and error are pipes to the parent
    Silenced,   // all three are /dev/null
    Inherited,  // the child writes where we write
};

// Starts argv[0] (a path, or a name looked up on PATH) in its own process group, with default
// signal handling, in workingFolder (the parent's when empty). No shell is involved. On
// failure returns nullopt and sets *error to the reason.
//
// The child is killed (SIGKILL) when the thread that called spawnChild ends, so nothing we
// start outlives us, even when we are killed. Call it therefore only from a thread that lives
// as long as the child should: the owner thread of the run (the main thread of both front
// ends), or a thread that waits for the child before it returns, as runForOutput and
// collectOutputWithin do.
std::optional<SpawnedChild> spawnChild(const std::vector<std::string>& argv, const std::string& workingFolder,
                                       ChildStreams streams, std::string* error);

// Runs a program to its end and returns what it wrote to its standard output (its standard
// error goes nowhere); nullopt when it cannot be started or ends with a status other than 0.
std::optional<std::string> runForOutput(const std::vector<std::string>& argv);

// Runs a program and collects what it writes to its standard output and error, in the order
// written, for at most `limit`; a program still running then is ended (its whole group) and
// what it wrote so far is returned. Empty when it cannot be started.
std::string collectOutputWithin(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

// Reads one line (up to "\n", which is not returned) from fd, waiting at most `limit`; nullopt
// when the time ran out or the writer closed its end before a whole line.
std::optional<std::string> readLineWithin(int fd, std::chrono::milliseconds limit);

// Ends a child's process group: SIGTERM, then SIGKILL when it has not ended within `grace`;
// reaps it. Returns its exit status as waitForChild does.
int endChildGroup(pid_t pid, std::chrono::milliseconds grace);

// Waits for the child to end and reaps it; returns the exit code, or 128 + the signal number
// for a child ended by a signal.
int waitForChild(pid_t pid);

}  // namespace torvane
