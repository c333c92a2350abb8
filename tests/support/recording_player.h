#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "support/test_support.h"

namespace torvane::test {

// A stand-in for mplayer in slave mode: it writes its process id, its arguments and every line
// it reads to a pipe of the test, and answers a position question as mplayer does (12.5 s).
class RecordingPlayer {
public:
    RecordingPlayer() {
        const std::string record = folder_ / "record";
        EXPECT_EQ(::mkfifo(record.c_str(), 0600), 0);
        // Opened for reading and writing: neither side waits for the other, and no end of file
        // comes between two players.
        fd_ = ::open(record.c_str(), O_RDWR | O_CLOEXEC);
        writeFile(path(),
                  "#!/bin/bash\nexec 3>\"$(dirname \"$0\")/record\"\necho \"PID $$\" >&3\n"
                  "printf 'ARG %s\\n' \"$@\" >&3\n"
                  "while IFS= read -r line; do\n  printf '%s\\n' \"$line\" >&3\n"
                  "  case $line in *get_time_pos*) echo ANS_TIME_POSITION=12.5 ;; esac\ndone\n");
        ::chmod(path().c_str(), 0755);
    }
    ~RecordingPlayer() { ::close(fd_); }
    RecordingPlayer(const RecordingPlayer&) = delete;
    RecordingPlayer& operator=(const RecordingPlayer&) = delete;

    // The program, in a folder whose name has a blank.
    std::string path() const { return folder_ / "player p"; }
    // The next line the player recorded, waiting at most 10 s for it.
    std::string nextLine() { return readLineWithin(fd_, std::chrono::seconds(10)).value_or("<nothing within 10 s>"); }
    // Waits for a player to start: its process id, and its `count` arguments.
    pid_t started(std::vector<std::string>* arguments, std::size_t count) {
        const std::string pid = nextLine();
        for (std::size_t i = 0; i < count; ++i) arguments->push_back(nextLine().substr(4));
        return pid.starts_with("PID ") ? static_cast<pid_t>(std::stol(pid.substr(4))) : -1;
    }

private:
    TempFolder folder_;
    int fd_ = -1;
};

}  // namespace torvane::test
