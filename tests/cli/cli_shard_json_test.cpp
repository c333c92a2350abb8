// torvane-cli convert spread over machines: --shard K/N converts one of N disjoint parts of the
// list, and --json reports the run as one event a line for scripts and job engines.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "platform/text_encoding.h"
#include "support/test_support.h"

namespace torvane {
namespace {

struct JsonValue {
    enum class Kind { String, Number, Null } kind;
    std::string text;  // a string unescaped, a number as written
};
using JsonObject = std::map<std::string, JsonValue>;

// Reads a line that must be exactly one flat JSON object of strings, numbers and nulls, the
// shape every event has; nullopt for anything else, invalid UTF-8 included.
class FlatJsonReader {
public:
    static std::optional<JsonObject> read(std::string_view line) {
        if (!isValidUtf8(line)) return std::nullopt;
        FlatJsonReader reader(line);
        JsonObject object;
        if (!reader.take('{')) return std::nullopt;
        if (reader.take('}')) return reader.atEnd() ? std::optional(object) : std::nullopt;
        do {
            std::string name;
            if (!reader.string(name) || !reader.take(':')) return std::nullopt;
            JsonValue value{JsonValue::Kind::Null, {}};
            if (reader.peek() == '"') {
                value.kind = JsonValue::Kind::String;
                if (!reader.string(value.text)) return std::nullopt;
            } else if (reader.line_.substr(reader.at_, 4) == "null") {
                reader.at_ += 4;
            } else if (!reader.number(value.text)) {
                return std::nullopt;
            } else {
                value.kind = JsonValue::Kind::Number;
            }
            if (!object.emplace(name, value).second) return std::nullopt;
        } while (reader.take(','));
        if (!reader.take('}') || !reader.atEnd()) return std::nullopt;
        return object;
    }

private:
    explicit FlatJsonReader(std::string_view line) : line_(line) {}
    char peek() const { return at_ < line_.size() ? line_[at_] : '\0'; }
    bool atEnd() const { return at_ == line_.size(); }
    bool take(char c) {
        if (peek() != c) return false;
        ++at_;
        return true;
    }
    bool number(std::string& text) {
        const std::size_t start = at_;
        take('-');
        while (std::isdigit(static_cast<unsigned char>(peek())) || peek() == '.') ++at_;
        text = std::string(line_.substr(start, at_ - start));
        return !text.empty() && text != "-";
    }
    bool string(std::string& text) {
        if (!take('"')) return false;
        text.clear();
        while (!atEnd() && peek() != '"') {
            const char c = line_[at_++];
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                text += c;
                continue;
            }
            const char escaped = line_[at_++];
            const std::string_view simple = "\"\\/bfnrt";
            const std::string_view meant = "\"\\/\b\f\n\r\t";
            if (const auto found = simple.find(escaped); found != std::string_view::npos) {
                text += meant[found];
            } else if (escaped == 'u' && at_ + 4 <= line_.size()) {
                const unsigned long code = std::stoul(std::string(line_.substr(at_, 4)), nullptr, 16);
                at_ += 4;
                // The writer escapes control characters only.
                if (code >= 0x80) return false;
                text += static_cast<char>(code);
            } else {
                return false;
            }
        }
        return take('"');
    }

    std::string_view line_;
    std::size_t at_ = 0;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// Every line of the output as an event; a failure names the first line that is not one.
std::vector<JsonObject> eventsOf(const std::string& out) {
    std::vector<JsonObject> events;
    for (const std::string& line : linesOf(out)) {
        const std::optional<JsonObject> event = FlatJsonReader::read(line);
        EXPECT_TRUE(event && event->count("event")) << "not an event: " << line;
        if (event) events.push_back(*event);
    }
    return events;
}

std::string textOf(const JsonObject& event, const std::string& name) {
    const auto found = event.find(name);
    return found == event.end() ? std::string("<absent>") : found->second.text;
}

bool isNull(const JsonObject& event, const std::string& name) {
    const auto found = event.find(name);
    return found != event.end() && found->second.kind == JsonValue::Kind::Null;
}

std::string bytesOfHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// A path field: its bytes from "<name>_hex" when the name is not UTF-8.
std::string pathOf(const JsonObject& event, const std::string& name) {
    return event.count(name + "_hex") ? bytesOfHex(textOf(event, name + "_hex")) : textOf(event, name);
}

class ShardJsonTest : public ::testing::Test {
protected:
    void SetUp() override {
        clip_ = folder_ / "clip.mp4";
        const test::ProgramResult made = test::makeClip(clip_, 0.5, "160x120", 10);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    // A copy of the clip under the name, in the test's folder.
    std::string copy(const std::string& name) {
        std::filesystem::create_directories(std::filesystem::path(folder_ / name).parent_path());
        std::filesystem::copy_file(clip_, folder_ / name);
        return folder_ / name;
    }
    std::vector<std::string> base() const {
        return {test::buildDir() + "/torvane-cli",
                "convert",
                "--config-dir",
                folder_ / "config",
                "--preset",
                test::buildDir() + "/preset/+ 일반 파일변환/mp4_h264.ini",
                "--out",
                out_};
    }
    test::ProgramResult convert(std::vector<std::string> arguments) {
        std::vector<std::string> argv = base();
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return test::runProgram(argv);
    }
    std::set<std::string> outputs() const {
        std::set<std::string> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(out_, ignored))
            names.insert(entry.path().filename().string());
        return names;
    }

    test::TempFolder folder_;
    std::string clip_;
    std::string out_ = folder_ / "out";
};

TEST_F(ShardJsonTest, ThreeShardsOfTenFilesConvertEachFileExactlyOnce) {
    std::vector<std::string> files;
    for (int i = 0; i < 10; ++i) files.push_back(copy("in/file " + std::to_string(i) + ".mp4"));
    // A missing file is refused by the one shard it falls in; the others never look at it.
    const std::string missing = folder_ / "in/missing.mp4";
    std::map<std::string, int> done;
    std::map<std::string, int> shardOf;
    int refusals = 0;
    for (int shard = 1; shard <= 3; ++shard) {
        std::vector<std::string> list = files;
        list.push_back(missing);
        // The split does not depend on the order of the list.
        if (shard == 2) std::reverse(list.begin(), list.end());
        list.insert(list.begin(), {"--shard", std::to_string(shard) + "/3", "--json"});
        const test::ProgramResult result = convert(list);
        SCOPED_TRACE(result.out + result.err);
        const bool refusedHere = result.err.find("missing.mp4") != std::string::npos;
        refusals += refusedHere;
        EXPECT_EQ(result.exitCode, refusedHere ? 1 : 0);
        for (const JsonObject& event : eventsOf(result.out)) {
            if (textOf(event, "event") != "finished") continue;
            EXPECT_EQ(textOf(event, "result"), "done");
            ++done[textOf(event, "source")];
            shardOf[textOf(event, "source")] = shard;
        }
    }
    EXPECT_EQ(refusals, 1);
    ASSERT_EQ(done.size(), files.size());
    std::set<std::string> expected;
    for (const std::string& file : files) {
        EXPECT_EQ(done[file], 1) << file;
        expected.insert(std::filesystem::path(file).filename().string());
    }
    EXPECT_EQ(outputs(), expected);

    // A file's part does not depend on the other files of the list either: a list of one
    // converts in its own shard and nowhere else; an empty part is no failure.
    const std::string& alone = files[0];
    for (int shard = 1; shard <= 3; ++shard) {
        const auto printed = test::runProgram({test::buildDir() + "/torvane-cli", "command", "--config-dir",
                                               folder_ / "config", "--preset", test::buildDir() + "/common_avi.ini",
                                               "--shard", std::to_string(shard) + "/3", alone});
        EXPECT_EQ(printed.exitCode, 0) << printed.err;
        EXPECT_EQ(printed.out.find("file 0.mp4") != std::string::npos, shard == shardOf[alone]) << shard;
        if (shard == shardOf[alone]) continue;
        const test::ProgramResult empty = convert({"--shard", std::to_string(shard) + "/3", "--json", alone});
        EXPECT_EQ(empty.exitCode, 0) << empty.err;
        EXPECT_EQ(
            empty.out,
            "{\"event\":\"run-finished\",\"done\":0,\"failed\":0,\"stopped\":0,\"not_started\":0,\"refused\":0}\n");
        EXPECT_NE(empty.err.find("shard " + std::to_string(shard) + "/3"), std::string::npos) << empty.err;
    }
}

// Machines running different builds must split a list alike: the part of a path is FNV-1a 64
// of its bytes modulo N, here worked out by hand. "./videos/b.mp4" is another text than
// "videos/b.mp4", and may land elsewhere.
TEST_F(ShardJsonTest, ThePartOfAPathIsTheSameInEveryBuild) {
    const std::vector<std::pair<std::string, int>> expected = {
        {"a.mp4", 2}, {"videos/b.mp4", 2}, {"./videos/b.mp4", 3}, {"/srv/영상/c.mkv", 4}};
    for (const auto& [path, part] : expected) {
        for (int shard = 1; shard <= 4; ++shard) {
            // The files do not exist: only the shard that holds one looks for it and says so.
            const test::ProgramResult result = test::runProgram(
                {test::buildDir() + "/torvane-cli", "command", "--config-dir", folder_ / "config", "--preset",
                 test::buildDir() + "/common_avi.ini", "--shard", std::to_string(shard) + "/4", "--", path});
            EXPECT_EQ(result.err.find(std::filesystem::path(path).filename().string()) != std::string::npos,
                      shard == part)
                << path << " in shard " << shard << ": " << result.err;
        }
    }
}

TEST_F(ShardJsonTest, AShardThatIsNotKOfNIsAUsageError) {
    const std::string file = copy("a.mp4");
    for (const char* shard :
         {"0/3", "4/3", "3", "1/0", "-1/3", "+1/3", "a/3", "1/3/3", "", " 1/3", "1/3 ", "1/99999999999999999999"}) {
        const test::ProgramResult result = convert({"--shard", shard, file});
        EXPECT_EQ(result.exitCode, 2) << shard;
        EXPECT_EQ(linesOf(result.err).size(), 1u) << result.err;
        EXPECT_NE(result.err.find("--shard needs K/N"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "") << shard;
    }
    EXPECT_EQ(convert({file, "--shard"}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(out_));
}

// One run with a file that converts, one whose name is not UTF-8, one that fails and one that
// is not media: every line is JSON, and each item goes started, progress..., finished.
TEST_F(ShardJsonTest, JsonLinesFollowOneAnotherForEveryItem) {
    const std::string good = copy("good.mp4");
    const std::string cp949Name = copy("\xb0\xa1\xb3\xaa.mp4");  // "가나" in CP949
    // Its header, moved to the front, promises what the cut-off rest does not hold: the item
    // fails, by ffmpeg's error or by the check of the output's length.
    const std::string broken = folder_ / "broken.mp4";
    const test::ProgramResult remuxed = test::runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-i", clip_, "-c",
                                                          "copy", "-movflags", "+faststart", folder_ / "whole.mp4"});
    ASSERT_EQ(remuxed.exitCode, 0) << remuxed.err;
    const std::string whole = test::readFile(folder_ / "whole.mp4");
    test::writeFile(broken, whole.substr(0, whole.size() / 2));
    const std::string notMedia = folder_ / "notes.txt";
    test::writeFile(notMedia, "not a movie\n");

    const test::ProgramResult result = convert({"--json", good, notMedia, cp949Name, broken});
    SCOPED_TRACE(result.out + result.err);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("notes.txt: "), std::string::npos) << "messages stay on the error stream";
    const std::vector<JsonObject> events = eventsOf(result.out);
    ASSERT_GE(events.size(), 2u);

    EXPECT_EQ(textOf(events.front(), "event"), "refused");
    EXPECT_EQ(textOf(events.front(), "source"), notMedia);
    EXPECT_NE(textOf(events.front(), "reason"), "");

    // Each item's own events, in the order written.
    std::map<std::string, std::vector<JsonObject>> byIndex;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) byIndex[textOf(events[i], "index")].push_back(events[i]);
    ASSERT_EQ(byIndex.size(), 3u);
    std::map<std::string, JsonObject> finishedBySource;
    for (const auto& [index, own] : byIndex) {
        SCOPED_TRACE("index " + index);
        ASSERT_GE(own.size(), 3u);
        EXPECT_EQ(textOf(own.front(), "event"), "started");
        EXPECT_EQ(textOf(own.back(), "event"), "finished");
        int percent = 0;
        for (std::size_t i = 1; i + 1 < own.size(); ++i) {
            EXPECT_EQ(textOf(own[i], "event"), "progress");
            const int now = std::stoi(textOf(own[i], "percent"));
            EXPECT_GE(now, percent) << "percent never goes back";
            EXPECT_LE(now, 100);
            percent = now;
        }
        const JsonObject& finished = own.back();
        EXPECT_EQ(textOf(finished, "source"), textOf(own.front(), "source"));
        if (textOf(finished, "result") == "done") {
            EXPECT_EQ(textOf(own[own.size() - 2], "percent"), "100") << "the last progress of a done item";
            EXPECT_TRUE(isNull(finished, "reason"));
            EXPECT_TRUE(std::filesystem::exists(pathOf(finished, "output"))) << pathOf(finished, "output");
        } else {
            EXPECT_EQ(textOf(finished, "result"), "failed");
            EXPECT_NE(textOf(finished, "reason"), "");
            EXPECT_TRUE(isNull(finished, "output"));
        }
        EXPECT_TRUE(std::filesystem::exists(pathOf(finished, "log"))) << pathOf(finished, "log");
        finishedBySource[pathOf(finished, "source")] = finished;
    }
    ASSERT_EQ(finishedBySource.size(), 3u);
    EXPECT_EQ(textOf(finishedBySource[good], "result"), "done");
    EXPECT_EQ(textOf(finishedBySource[broken], "result"), "failed");
    // A name that is not UTF-8 is shown decoded, and its bytes reach the file.
    EXPECT_EQ(textOf(finishedBySource[cp949Name], "result"), "done");
    EXPECT_EQ(textOf(finishedBySource[cp949Name], "source"), folder_ / "가나.mp4");
    EXPECT_EQ(pathOf(finishedBySource[cp949Name], "output"), out_ + "/\xb0\xa1\xb3\xaa.mp4");

    const JsonObject& last = events.back();
    EXPECT_EQ(textOf(last, "event"), "run-finished");
    EXPECT_EQ(textOf(last, "done"), "2");
    EXPECT_EQ(textOf(last, "failed"), "1");
    EXPECT_EQ(textOf(last, "stopped"), "0");
    EXPECT_EQ(textOf(last, "not_started"), "0");
    EXPECT_EQ(textOf(last, "refused"), "1");
}

// Files converting at once each report their own percent, and every progress line carries the
// whole run's remaining time.
TEST_F(ShardJsonTest, FilesConvertingAtOnceEachReportTheirOwnPercent) {
    const std::string longer = folder_ / "three seconds.mp4";
    ASSERT_EQ(test::makeClip(longer, 3).exitCode, 0);
    const std::string other = folder_ / "also three.mp4";
    std::filesystem::copy_file(longer, other);
    const test::ProgramResult result =
        convert({"--json", "--jobs", "2", "--set", "plusparam2=-af arealtime", longer, other});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, std::set<std::string>> percents;
    for (const JsonObject& event : eventsOf(result.out)) {
        if (textOf(event, "event") != "progress") continue;
        percents[textOf(event, "index")].insert(textOf(event, "percent"));
    }
    for (const char* index : {"0", "1"}) {
        SCOPED_TRACE(index);
        // More than a start and an end: the item's percent moved while both encoded.
        EXPECT_GE(percents[index].size(), 3u) << result.out;
    }
}

// The JSON of probe, written by the same writer, stays JSON for such a name too.
TEST_F(ShardJsonTest, ProbeJsonOfANameThatIsNotUtf8IsStillJson) {
    const std::string cp949Name = copy("\xb0\xa1.mp4");
    const test::ProgramResult result =
        test::runProgram({test::buildDir() + "/torvane-cli", "probe", "--json", cp949Name});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(result.out.starts_with("[") && result.out.ends_with("]\n")) << result.out;
    const auto object = FlatJsonReader::read(result.out.substr(1, result.out.size() - 3));
    ASSERT_TRUE(object) << result.out;
    EXPECT_EQ(textOf(*object, "path"), folder_ / "가.mp4");
}

// Ctrl-C in a JSON run: the item under way finishes as stopped, the next never starts, and
// the totals still come.
TEST_F(ShardJsonTest, AnInterruptedJsonRunStillEndsEveryStartedItemAndTheRun) {
    std::vector<std::string> argv = base();
    // Sound converted in real time: long enough to be mid-item when the signal comes.
    argv.insert(argv.end(), {"--json", "--set", "plusparam2=-af arealtime", test::testMedia("av4.mp4"), copy("b.mp4")});
    int output[2];
    ASSERT_EQ(::pipe(output), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(output[1], 1);
        ::close(output[0]);
        ::setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(output[1]);
    std::string seen;
    char buffer[256];
    while (seen.find("{\"event\":\"progress\"") == std::string::npos) {
        const ssize_t n = ::read(output[0], buffer, sizeof buffer);
        ASSERT_GT(n, 0) << seen;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    ::kill(pid, SIGINT);
    for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<std::size_t>(n));
    ::close(output[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << seen;

    const std::vector<JsonObject> events = eventsOf(seen);
    ASSERT_GE(events.size(), 4u) << seen;
    const JsonObject& finished = events[events.size() - 2];
    EXPECT_EQ(textOf(finished, "event"), "finished") << seen;
    EXPECT_EQ(textOf(finished, "index"), "0");
    EXPECT_EQ(textOf(finished, "result"), "stopped");
    EXPECT_NE(textOf(finished, "reason"), "");
    EXPECT_TRUE(isNull(finished, "output"));
    EXPECT_EQ(seen.find("\"index\":1"), std::string::npos) << seen;
    EXPECT_EQ(linesOf(seen).back(),
              "{\"event\":\"run-finished\",\"done\":0,\"failed\":0,\"stopped\":1,\"not_started\":1,\"refused\":0}");
    EXPECT_EQ(outputs(), std::set<std::string>{});
}

}  // namespace
}  // namespace torvane
