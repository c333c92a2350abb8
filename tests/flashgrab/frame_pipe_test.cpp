#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flashgrab/frame_pipe.h"
#include "support/test_support.h"
#include "swf_builder.h"

extern char** environ;

namespace flashgrab {
namespace {

using torvane::test::TempFolder;

// A running flashgrab with its standard output on a pipe.
class Grabber {
public:
    // errorsPath, when given, receives the program's standard error.
    Grabber(const std::vector<std::string>& args, const std::string& runtimeDir, const std::string& errorsPath = {}) {
        std::vector<std::string> argv{torvane::test::buildDir() + "/flashgrab"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        std::vector<std::string> env{"XDG_RUNTIME_DIR=" + runtimeDir};
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0) env.emplace_back(*e);
        std::vector<char*> cenv;
        for (auto& e : env) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        if (!errorsPath.empty())
            posix_spawn_file_actions_addopen(&actions, 2, errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, cargv[0], &actions, nullptr, cargv.data(), cenv.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
    }
    ~Grabber() {
        if (out_ >= 0) close(out_);
        wait();
    }
    // Everything the program prints up to the first line end (or its exit).
    std::string firstLine() {
        std::string line;
        char c;
        while (read(out_, &c, 1) == 1) {
            line.push_back(c);
            if (c == '\n') break;
        }
        return line;
    }
    void terminate() {
        if (pid_ > 0) kill(pid_, SIGTERM);
    }
    int wait() {
        if (pid_ <= 0) return status_;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
};

// The command line cuts paths at "-", so the movies live in a folder without one.
class PlainFolder {
public:
    PlainFolder() {
        char name[] = "/tmp/flashgrabXXXXXX";
        if (mkdtemp(name)) path_ = name;
    }
    ~PlainFolder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string writeMovie(const PlainFolder& folder, int frames) {
    using namespace flashgrab::test;
    std::string path = folder / "movie.swf";
    torvane::test::writeFile(
        path, asString(test::movie(40, 30, frames,
                                   {backgroundTag(10, 20, 30), rectangleShape(1, 0, 0, 200, 200, 200, 100, 50),
                                    placeObject(1, 1), showFrame(), showFrame(), showFrame()})));
    return path;
}

// Reads the FIFO to its end, or only maxBytes of it.
std::string drain(const std::string& fifo, std::size_t maxBytes = SIZE_MAX) {
    int fd = open(fifo.c_str(), O_RDONLY);
    std::string data;
    if (fd < 0) return data;
    char buffer[65536];
    ssize_t n;
    while (data.size() < maxBytes && (n = read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return data.substr(0, std::min(maxBytes, data.size()));
}

TEST(FramePipe, TraceGoesToStandardErrorOnlyWhenAsked) {
    using namespace flashgrab::test;
    TempFolder temp;
    PlainFolder folder;
    std::string runtime = temp / "run";
    mkdir(runtime.c_str(), 0700);
    std::string movie = folder / "traced.swf";
    torvane::test::writeFile(
        movie, asString(test::movie(
                   40, 30, 2, {doAction(Actions().push("hello from frame 1").op(0x26)), showFrame(), showFrame()})));
    for (bool asked : {true, false}) {
        SCOPED_TRACE(asked ? "with -trace" : "without -trace");
        std::string errors = temp / "errors.txt";
        std::vector<std::string> args{"-file", movie, "-p", "6", "-w", "40", "-h", "30"};
        if (asked) args.emplace_back("-trace");
        Grabber grabber(args, runtime, errors);
        ASSERT_EQ(grabber.firstLine(), "ready\n");
        EXPECT_EQ(drain(runtime + "/Torvane6").size(), 2u * 40 * 30 * 3);
        EXPECT_EQ(grabber.wait(), 0);
        EXPECT_EQ(torvane::test::readFile(errors), asked ? "hello from frame 1\n" : "");
    }
}

TEST(FramePipe, StreamsEveryFrameAndLeavesNoFifo) {
    TempFolder temp;
    PlainFolder folder;
    std::string runtime = temp / "run";
    mkdir(runtime.c_str(), 0700);
    std::string movie = writeMovie(folder, 3);
    Grabber grabber({"-file", movie, "-p", "5", "-w", "40", "-h", "30", "-q", "low"}, runtime);
    ASSERT_EQ(grabber.firstLine(), "ready\n");
    std::string fifo = runtime + "/Torvane5";
    std::string stream = drain(fifo);
    EXPECT_EQ(grabber.wait(), 0);
    ASSERT_EQ(stream.size(), 3u * 40 * 30 * 3);
    // Top left is the rectangle (blue 50, green 100, red 200); bottom right the background.
    EXPECT_EQ(static_cast<unsigned char>(stream[0]), 50);
    EXPECT_EQ(static_cast<unsigned char>(stream[1]), 100);
    EXPECT_EQ(static_cast<unsigned char>(stream[2]), 200);
    std::size_t last = 40 * 30 * 3 - 3;
    EXPECT_EQ(static_cast<unsigned char>(stream[last]), 30);
    EXPECT_EQ(static_cast<unsigned char>(stream[last + 2]), 10);
    struct stat st {};
    EXPECT_NE(lstat(fifo.c_str(), &st), 0) << "the FIFO is removed once the reader has it";
}

TEST(FramePipe, StopsWhenTheReaderGoesAwayAndGivesEmptyStreams) {
    TempFolder temp;
    PlainFolder folder;
    std::string runtime = temp / "run";
    mkdir(runtime.c_str(), 0700);
    {
        // Many large frames, the reader takes a few bytes and leaves: the program must end, not block.
        std::string movie = writeMovie(folder, 2000);
        Grabber grabber({"-file", movie, "-p", "6", "-w", "800", "-h", "600"}, runtime);
        ASSERT_EQ(grabber.firstLine(), "ready\n");
        EXPECT_EQ(drain(runtime + "/Torvane6", 1000).size(), 1000u);
        EXPECT_EQ(grabber.wait(), 0);
    }
    {
        std::string empty = folder / "empty.swf";
        torvane::test::writeFile(empty, test::asString(test::movie(40, 30, 0, {test::showFrame()})));
        Grabber grabber({"-file", empty, "-w", "40", "-h", "30"}, runtime);
        ASSERT_EQ(grabber.firstLine(), "ready\n");
        EXPECT_EQ(drain(runtime + "/Torvane"), "") << "no -p: the bare name; 0 frames: an empty stream";
        EXPECT_EQ(grabber.wait(), 0);
    }
    {
        // An unreadable movie still opens and closes the FIFO, so the reader is not left waiting.
        Grabber grabber({"-file", folder / "missing.swf", "-p", "7", "-w", "40", "-h", "30"}, runtime);
        ASSERT_EQ(grabber.firstLine(), "ready\n");
        EXPECT_EQ(drain(runtime + "/Torvane7"), "");
        EXPECT_NE(grabber.wait(), 0);
    }
}

TEST(FramePipe, TerminatedWhileWaitingForTheReaderRemovesTheFifo) {
    TempFolder temp;
    PlainFolder folder;
    std::string movie = writeMovie(folder, 3);
    Grabber grabber({"-file", movie, "-p", "8", "-w", "40", "-h", "30"}, temp.path());
    ASSERT_EQ(grabber.firstLine(), "ready\n");
    struct stat st {};
    ASSERT_EQ(lstat((temp / "Torvane8").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    grabber.terminate();
    grabber.wait();
    EXPECT_NE(lstat((temp / "Torvane8").c_str(), &st), 0);
}

TEST(FramePipe, MissingOptionsDoNothing) {
    TempFolder folder;
    for (auto args : std::vector<std::vector<std::string>>{
             {"-w", "40", "-h", "30"}, {"-file", "x.swf", "-h", "30"}, {"-file", "x.swf", "-w", "40"}, {}}) {
        Grabber grabber(args, folder.path());
        EXPECT_EQ(grabber.firstLine(), "");
        EXPECT_EQ(grabber.wait(), 0);
    }
    EXPECT_EQ(std::system(("test -z \"$(ls -A " + folder.path() + ")\"").c_str()), 0) << "no FIFO made";
}

TEST(FramePipe, FallbackFolderMustBePrivateAndOurs) {
    TempFolder root;
    std::string error;
    auto folder = pipeFolder(nullptr, root.path(), error);
    ASSERT_TRUE(folder) << error;
    struct stat st {};
    ASSERT_EQ(lstat(folder->c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(pipeFolder("relative/dir", root.path(), error), folder) << "only an absolute runtime folder counts";
    EXPECT_EQ(pipeFolder("/run/user/1", root.path(), error), std::optional<std::string>("/run/user/1"));

    chmod(folder->c_str(), 0770);
    EXPECT_FALSE(pipeFolder(nullptr, root.path(), error)) << "group-writable";
    rmdir(folder->c_str());
    std::string elsewhere = root / "elsewhere";
    mkdir(elsewhere.c_str(), 0700);
    ASSERT_EQ(symlink(elsewhere.c_str(), folder->c_str()), 0);
    EXPECT_FALSE(pipeFolder(nullptr, root.path(), error)) << "a symlink, even to a private folder";
}

TEST(FramePipe, StaleFifoIsReplacedButOtherFilesAreNot) {
    TempFolder folder;
    std::string fifo = folder / "Torvane1";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    {
        FramePipe pipe;
        std::string error;
        EXPECT_TRUE(pipe.create(fifo, error)) << error;
    }
    struct stat st {};
    EXPECT_NE(lstat(fifo.c_str(), &st), 0) << "an unopened FIFO is removed when we give up";
    torvane::test::writeFile(fifo, "precious");
    FramePipe pipe;
    std::string error;
    EXPECT_FALSE(pipe.create(fifo, error));
    EXPECT_EQ(torvane::test::readFile(fifo), "precious");
    EXPECT_FALSE(pipePath(folder.path(), "../../etc/x")) << "a pipe id cannot leave the folder";
    EXPECT_EQ(pipePath("/run", "12"), std::optional<std::string>("/run/Torvane12"));
}

}  // namespace
}  // namespace flashgrab
