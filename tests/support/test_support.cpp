#include "support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace torvane::test {

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/torvane-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Give back write permission that a test may have taken away, so everything can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::operator/(const std::string& name) const {
    return path_ + "/" + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(file) << "cannot write " << path;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

ProgramResult runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment) {
    TempFolder outputs;
    const std::string outPath = outputs / "out";
    const std::string errPath = outputs / "err";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> environment;
    // What the programs keep for later (encoder logs) goes into the build folder, not the home
    // of whoever runs the tests.
    // A test may give its own (a queue journal of its own).
    const bool ownStateFolder =
        std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                    [](const std::string& entry) { return entry.starts_with("XDG_STATE_HOME="); });
    if (!ownStateFolder) environment.push_back("XDG_STATE_HOME=" + buildDir() + "/test-state");
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with("XDG_STATE_HOME=")) environment.emplace_back(*entry);
    }
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> env;
    for (std::string& entry : environment) env.push_back(entry.data());
    env.push_back(nullptr);

    ProgramResult result;
    pid_t pid = 0;
    const int spawnError = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        result.err = "cannot start " + argv[0];
        return result;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

std::string sourceDir() {
    return TORVANE_SOURCE_DIR;
}

std::string buildDir() {
    return TORVANE_BUILD_DIR;
}

std::string corpusDir() {
    const char* chosen = std::getenv("TORVANE_CORPUS_DIR");
    return chosen != nullptr && *chosen != '\0' ? chosen : sourceDir() + "/../shared/corpus";
}

bool corpusAvailable() {
    return std::filesystem::is_directory(corpusDir());
}

bool corpusRequired() {
    const char* required = std::getenv("TORVANE_REQUIRE_CORPUS");
    return required != nullptr && std::string_view(required) == "1";
}

std::string testMedia(const std::string& name) {
    const std::string folder = buildDir() + "/test-media";
    const std::string path = folder + "/" + name;
    if (!std::filesystem::exists(path)) {
        const ProgramResult made = runProgram({"bash", sourceDir() + "/tests/fixtures/generate_media.sh", folder});
        EXPECT_EQ(made.exitCode, 0) << made.err;
    }
    return path;
}

}  // namespace torvane::test

namespace torvane::test {

ProgramResult makeClip(const std::string& path, double seconds, const std::string& size, int rate,
                       bool keyFrameEverySecond) {
    char length[32];
    std::snprintf(length, sizeof length, "%g", seconds);
    std::vector<std::string> argv{"ffmpeg",
                                  "-nostdin",
                                  "-hide_banner",
                                  "-loglevel",
                                  "error",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "testsrc=size=" + size + ":rate=" + std::to_string(rate),
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "sine=frequency=440:sample_rate=8000",
                                  "-t",
                                  length,
                                  "-pix_fmt",
                                  "yuv420p",
                                  "-c:v",
                                  "libx264",
                                  "-preset",
                                  "ultrafast",
                                  "-c:a",
                                  "aac",
                                  "-f",
                                  "mp4",
                                  path};
    if (keyFrameEverySecond) {
        const std::vector<std::string> gap{"-g", std::to_string(rate), "-sc_threshold", "0"};
        argv.insert(argv.end() - 5, gap.begin(), gap.end());
    }
    return runProgram(argv);
}

bool processEnded(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return true;
    const auto close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] == 'Z' || text[close + 2] == 'X';
}

std::pair<char, long long> processStateAndTicks(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return {'?', -1};
    // The command name may hold blanks: the fields after it are counted from its closing bracket.
    const auto close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size()) return {'?', -1};
    std::istringstream fields(text.substr(close + 2));
    std::vector<std::string> values;
    for (std::string value; fields >> value;) values.push_back(value);
    if (values.size() < 13) return {'?', -1};
    return {values[0][0], std::stoll(values[11]) + std::stoll(values[12])};
}

bool processEndsWithin(int pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!processEnded(pid)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::usleep(10000);  // looking again at a real condition, bounded by the deadline
    }
    return true;
}

std::vector<int> childProcessIds(int parent) {
    std::vector<int> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // The command name is in parentheses and may hold blanks: the fields follow the last ')'.
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 1));
        std::string state;
        int parentId = 0;
        if (fields >> state >> parentId && parentId == parent && state != "Z") children.push_back(std::stoi(name));
    }
    return children;
}

}  // namespace torvane::test
