#include "run/queue_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <random>

#include "platform/file_system.h"
#include "platform/text_encoding.h"
#include "support/test_support.h"

namespace torvane {
namespace {

// Paths as a user's files may name them: every byte but NUL is allowed, names need not be
// UTF-8, and INI's own marks may be anywhere.
const std::string kLineBreakPath = "/videos/first line\nsecond=line\r.mp4";
const std::string kMarksPath = "/videos/[section];x=1 \\x41\\ \"quoted\" 'too'.avi";
const std::string kHangulPath = "/videos/내 영상/여름 휴가 (1).mkv";
const std::string kLatin1Path = std::string("/videos/caf\xe9 \xff\xfe \xc3 cut \xe2\x82.mp4");
const std::string kBlankEdgesPath = " /videos/blank edges.mp4 ";
const std::string kControlPath = std::string("/videos/\x01\x1b\x7f tab\tnul") + '\0' + ".wav";

QueueJournal sampleJournal() {
    QueueJournal journal;
    EXPECT_TRUE(journal.settings.loadProfile(test::sourceDir() + "/data/preset/특별기능/subtitle_burn.ini"));
    journal.settings.plusparam = "-vf \"scale=640:-2\" ; [x]";
    journal.output = OutputFolderChoice{"/home/user/문서/Torvane=out\n", false};
    journal.entries = {
        {kLineBreakPath, 0.0, 0.0, true, "/videos/first line\nsecond=line\r.smi", JournalState::Done,
         "/out/first line\nsecond=line\r.avi", "", 0.0, ""},
        {kMarksPath, 0.1, 5400.25, false, "", JournalState::Failed, "", "인코더가 멈췄습니다 (stall=60s)\n두 번째 줄",
         0.0, ""},
        {kHangulPath, 1e-7, 1.0 / 3.0, true, "/videos/내 영상/여름 휴가 (1).ko.srt", JournalState::Stopped, "", "", 0.0,
         ""},
        {kLatin1Path, 90.5, 0.0, true, "", JournalState::Running, "/out/caf\xe9.avi", "", 1765000000.5, ""},
        {kBlankEdgesPath, 0.0, 12.0, false, "", JournalState::Waiting, "", "", 0.0, ""},
        {kControlPath, 0.0, 0.0, true, "", JournalState::Waiting, "", "", 0.0, ""},
    };
    return journal;
}

void expectSameSettings(const EncodeSettings& actual, const EncodeSettings& expected) {
    for (const SettingsKey& key : settingsKeys()) EXPECT_EQ(actual.*key.field, expected.*key.field) << key.name;
}

void expectSameEntries(const std::vector<JournalEntry>& actual, const std::vector<JournalEntry>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].sourcePath, expected[i].sourcePath) << i;
        // Bit for bit: the range must cut the source where it did before.
        EXPECT_EQ(actual[i].rangeStartSeconds, expected[i].rangeStartSeconds) << i;
        EXPECT_EQ(actual[i].rangeEndSeconds, expected[i].rangeEndSeconds) << i;
        EXPECT_EQ(actual[i].keepSound, expected[i].keepSound) << i;
        EXPECT_EQ(actual[i].subtitlePath, expected[i].subtitlePath) << i;
        EXPECT_EQ(actual[i].state, expected[i].state) << i;
        EXPECT_EQ(actual[i].outputPath, expected[i].outputPath) << i;
        EXPECT_EQ(actual[i].reason, expected[i].reason) << i;
        EXPECT_EQ(actual[i].startedAt, expected[i].startedAt) << i;
        EXPECT_EQ(actual[i].interruptedOutput, expected[i].interruptedOutput) << i;
    }
}

void expectSameJournal(const QueueJournal& actual, const QueueJournal& expected) {
    expectSameSettings(actual.settings, expected.settings);
    EXPECT_EQ(actual.output.folder, expected.output.folder);
    EXPECT_EQ(actual.output.sameFolderAsSource, expected.output.sameFolderAsSource);
    expectSameEntries(actual.entries, expected.entries);
}

// What a restart makes of the sample: the item that was running starts again from zero.
QueueJournal sampleAsRestored() {
    QueueJournal journal = sampleJournal();
    journal.entries[3].state = JournalState::Waiting;
    journal.entries[3].interruptedOutput = journal.entries[3].outputPath;
    journal.entries[3].outputPath.clear();
    return journal;
}

// FNV-1a 64 as the format documents it, so a damaged body can be sealed again to reach the
// parser behind the seal.
std::string sealed(std::string body) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : body) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return body + "checksum=" + text + "\n";
}

std::string bodyOf(const std::string& text) {
    return text.substr(0, text.rfind("checksum="));
}

TEST(QueueJournal, HostilePathsSettingsAndEveryStateComeBackExactly) {
    const test::TempFolder state;
    const std::string path = state / "torvane/queue.ini";
    const QueueJournal journal = sampleJournal();
    std::string error;
    ASSERT_TRUE(writeQueueJournal(path, journal, &error)) << error;

    // One value a line, in UTF-8, readable by its owner only.
    const std::string text = test::readFile(path);
    EXPECT_TRUE(isValidUtf8(text));
    EXPECT_NE(text.find("source=/videos/내 영상/여름 휴가 (1).mkv\n"), std::string::npos) << text;
    EXPECT_NE(text.find("source=/videos/caf\\xe9 \\xff\\xfe \\xc3 cut \\xe2\\x82.mp4\n"), std::string::npos) << text;
    std::size_t lines = 0;
    for (const char c : text) lines += c == '\n';
    // Nine lines an item, and its start for the one that was running.
    EXPECT_EQ(lines, 1 + 5 + 1 + kSettingsFieldCount + journal.entries.size() * 9 + 1 + 2);
    struct stat facts {};
    ASSERT_EQ(::stat(path.c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0600u);

    const JournalLoad load = loadQueueJournal(path);
    ASSERT_EQ(load.outcome, JournalLoad::Outcome::Loaded) << load.message;
    expectSameJournal(load.journal, sampleAsRestored());
    EXPECT_TRUE(hasUnfinishedWork(load.journal));

    // Rewriting what was read changes nothing more.
    ASSERT_TRUE(writeQueueJournal(path, load.journal, &error)) << error;
    expectSameJournal(loadQueueJournal(path).journal, sampleAsRestored());
}

TEST(QueueJournal, OnlyUnfinishedItemsOfferTheListBackAndAFinishedRunLeavesNoJournal) {
    QueueJournal journal;
    EXPECT_FALSE(hasUnfinishedWork(journal));
    journal.entries.push_back({"/a.mp4", 0, 0, true, "", JournalState::Done, "/out/a.avi", "", 0.0, ""});
    journal.entries.push_back({"/b.mp4", 0, 0, true, "", JournalState::Failed, "", "no space", 0.0, ""});
    EXPECT_FALSE(hasUnfinishedWork(journal));
    for (const JournalState unfinished : {JournalState::Waiting, JournalState::Running, JournalState::Stopped}) {
        journal.entries.back().state = unfinished;
        EXPECT_TRUE(hasUnfinishedWork(journal)) << static_cast<int>(unfinished);
    }

    const test::TempFolder state;
    const std::string path = state / "queue.ini";
    std::string error;
    ASSERT_TRUE(writeQueueJournal(path, journal, &error)) << error;
    EXPECT_TRUE(removeQueueJournal(path));
    EXPECT_FALSE(pathExists(path));
    EXPECT_EQ(loadQueueJournal(path).outcome, JournalLoad::Outcome::None);
    // Nothing to remove is no failure.
    EXPECT_TRUE(removeQueueJournal(path));
    // A journal below a file cannot exist: there is none, and nothing is set aside.
    test::writeFile(state / "file", "x");
    EXPECT_EQ(loadQueueJournal(state / "file/queue.ini").outcome, JournalLoad::Outcome::None);
    EXPECT_FALSE(writeQueueJournal(state / "file/queue.ini", journal, &error));
    EXPECT_FALSE(error.empty());
}

TEST(QueueJournal, AJournalCutAtAnyByteIsSetAsideWholeNeverLoadedShort) {
    const test::TempFolder state;
    const std::string path = state / "queue.ini";
    std::string error;
    ASSERT_TRUE(writeQueueJournal(path, sampleJournal(), &error)) << error;
    const std::string whole = test::readFile(path);

    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const std::string part = whole.substr(0, cut);
        test::writeFile(path, part);
        const JournalLoad load = loadQueueJournal(path);
        ASSERT_EQ(load.outcome, JournalLoad::Outcome::SetAside) << "cut at " << cut;
        ASSERT_TRUE(load.setAsidePath.starts_with(path + ".corrupt-")) << load.setAsidePath;
        EXPECT_EQ(load.message, "작업 목록 기록이 손상되어 따로 보관했습니다: " + load.setAsidePath);
        // The damaged copy is kept as it was, and the journal's name is free for the next write.
        ASSERT_EQ(test::readFile(load.setAsidePath), part) << "cut at " << cut;
        ASSERT_FALSE(pathExists(path)) << "cut at " << cut;
        ASSERT_EQ(::unlink(load.setAsidePath.c_str()), 0);
    }
    // Nor does any damaged byte load.
    for (std::size_t at = 0; at < whole.size(); ++at) {
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x20);
        ASSERT_FALSE(parseQueueJournalText(damaged)) << "byte " << at;
    }
    test::writeFile(path, whole);
    const JournalLoad load = loadQueueJournal(path);
    ASSERT_EQ(load.outcome, JournalLoad::Outcome::Loaded);
    expectSameJournal(load.journal, sampleAsRestored());
}

TEST(QueueJournal, SettingAsideNeverReplacesAnEarlierCopyNorWaitsOnWhatIsNoFile) {
    const test::TempFolder state;
    const std::string path = state / "queue.ini";
    test::writeFile(path, "first damaged journal");
    const JournalLoad first = loadQueueJournal(path);
    test::writeFile(path, "second damaged journal");
    const JournalLoad second = loadQueueJournal(path);
    ASSERT_EQ(first.outcome, JournalLoad::Outcome::SetAside);
    ASSERT_EQ(second.outcome, JournalLoad::Outcome::SetAside);
    EXPECT_NE(first.setAsidePath, second.setAsidePath);
    EXPECT_EQ(test::readFile(first.setAsidePath), "first damaged journal");
    EXPECT_EQ(test::readFile(second.setAsidePath), "second damaged journal");

    // A FIFO would block a reader forever; a folder would block every write.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const JournalLoad fifo = loadQueueJournal(path);
    EXPECT_EQ(fifo.outcome, JournalLoad::Outcome::SetAside);
    EXPECT_FALSE(pathExists(path));
    ASSERT_TRUE(makeFolders(path));
    EXPECT_EQ(loadQueueJournal(path).outcome, JournalLoad::Outcome::SetAside);
    std::string error;
    EXPECT_TRUE(writeQueueJournal(path, sampleJournal(), &error)) << error;

    // A journal written before a setting existed still loads, with the setting's default.
    std::string text = test::readFile(path);
    const auto speedLine = text.find("\nspeed=");
    ASSERT_NE(speedLine, std::string::npos);
    test::writeFile(path, sealed(bodyOf(text.substr(0, speedLine) + text.substr(text.find('\n', speedLine + 1)))));
    const JournalLoad older = loadQueueJournal(path);
    ASSERT_EQ(older.outcome, JournalLoad::Outcome::Loaded) << older.message;
    EXPECT_EQ(older.journal.settings.speed, "1.0");
    EXPECT_EQ(older.journal.settings.video_bitrate, "1500");

    // A journal of a later format is not guessed at.
    text.replace(text.find("version=1"), 9, "version=2");
    test::writeFile(path, sealed(bodyOf(text)));
    EXPECT_EQ(loadQueueJournal(path).outcome, JournalLoad::Outcome::SetAside);
}

TEST(QueueJournal, AWriterKilledAtAnyMomentLeavesTheLastWholeJournal) {
    const test::TempFolder state;
    const std::string path = state / "queue.ini";
    QueueJournal before = sampleJournal();
    QueueJournal after = sampleJournal();
    after.entries[4].state = JournalState::Done;
    after.entries[4].outputPath = "/out/blank edges.avi";
    std::string error;
    ASSERT_TRUE(writeQueueJournal(path, before, &error)) << error;

    // The child rewrites the journal without pause and reports each write; it is killed
    // somewhere inside one of them.
    int reports[2];
    ASSERT_EQ(::pipe(reports), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::close(reports[0]);
        for (unsigned i = 0;; ++i) {
            if (!writeQueueJournal(path, i % 2 == 0 ? after : before, nullptr)) ::_exit(1);
            if (::write(reports[1], "w", 1) != 1) ::_exit(2);
        }
    }
    ::close(reports[1]);
    char done[7];
    std::size_t got = 0;
    while (got < sizeof done) {
        const ssize_t n = ::read(reports[0], done + got, sizeof done - got);
        ASSERT_GT(n, 0) << "the writer ended by itself";
        got += static_cast<std::size_t>(n);
    }
    ASSERT_EQ(::kill(writer, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ::close(reports[0]);
    EXPECT_TRUE(WIFSIGNALED(status));

    // A temporary the killed write may have left, and one cut short by hand.
    test::writeFile(state / ".queue.ini.AbC123", test::readFile(path).substr(0, 100));
    const JournalLoad load = loadQueueJournal(path);
    ASSERT_EQ(load.outcome, JournalLoad::Outcome::Loaded) << load.message;
    const bool isAfter = load.journal.entries[4].state == JournalState::Done;
    QueueJournal expected = isAfter ? after : before;
    expected.entries[3].state = JournalState::Waiting;
    expected.entries[3].interruptedOutput = expected.entries[3].outputPath;
    expected.entries[3].outputPath.clear();
    expectSameJournal(load.journal, expected);

    // The next holder of the journal clears away what unfinished writes left.
    std::string message;
    const auto lock = QueueJournalLock::acquire(path, &message);
    ASSERT_TRUE(lock) << message;
    EXPECT_EQ(listFolder(state.path()).files, (std::vector<std::string>{"queue.ini", "queue.ini.lock"}));
}

// Forks a program that tries to take the journal's lock; its exit code says how it went:
// 0 taken, 1 busy, 2 failed otherwise.
int lockTakenByAnotherProgram(const std::string& path) {
    const pid_t other = ::fork();
    if (other == 0) {
        bool busy = false;
        std::string message;
        const auto lock = QueueJournalLock::acquire(path, &message, &busy);
        const bool toldWhy = message.find("다른 Torvane 프로그램이 작업 목록 기록을 쓰고 있습니다") == 0;
        ::_exit(lock ? 0 : busy && toldWhy ? 1 : 2);
    }
    int status = 0;
    if (other < 0 || ::waitpid(other, &status, 0) != other || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(QueueJournal, OneProgramAtATimeHoldsTheJournalAndACrashLetsItGo) {
    const test::TempFolder state;
    const std::string path = state / "torvane/queue.ini";
    std::string message;
    {
        const auto lock = QueueJournalLock::acquire(path, &message);
        ASSERT_TRUE(lock) << message;
        EXPECT_EQ(lockTakenByAnotherProgram(path), 1);
    }
    EXPECT_EQ(lockTakenByAnotherProgram(path), 0);

    // A holder killed outright leaves no lock to break.
    int taken[2];
    int never[2];
    ASSERT_EQ(::pipe(taken), 0);
    ASSERT_EQ(::pipe(never), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        ::close(taken[0]);
        ::close(never[1]);
        const auto lock = QueueJournalLock::acquire(path, nullptr);
        if (!lock || ::write(taken[1], "t", 1) != 1) ::_exit(1);
        char byte;
        while (::read(never[0], &byte, 1) != 0) {
        }
        ::_exit(0);
    }
    ::close(taken[1]);
    ::close(never[0]);
    char byte = 0;
    ASSERT_EQ(::read(taken[0], &byte, 1), 1);
    EXPECT_FALSE(QueueJournalLock::acquire(path, &message));
    ASSERT_EQ(::kill(holder, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    ::close(taken[0]);
    ::close(never[1]);
    EXPECT_TRUE(QueueJournalLock::acquire(path, &message)) << message;
}

TEST(QueueJournal, AnyBytesAreLoadedOrRefusedWithoutACrash) {
    std::mt19937 random(20240611);
    const auto byteOf = [&] { return static_cast<char>(random() & 0xFF); };

    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 300, '\0');
        for (char& c : bytes) c = byteOf();
        if (round % 2 == 0) bytes = sealed(bytes);
        EXPECT_FALSE(parseQueueJournalText(bytes));
    }

    // Damage behind a valid seal reaches the parser itself: what it accepts must be a journal
    // that writes and reads back the same.
    const std::string body = bodyOf(queueJournalText(sampleJournal()));
    const std::string marks = "[]=\\\nx0123456789;";
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = body;
        for (unsigned edit = 0, edits = 1 + random() % 4; edit < edits && !damaged.empty(); ++edit) {
            const std::size_t at = random() % damaged.size();
            const char c = random() % 2 == 0 ? marks[random() % marks.size()] : byteOf();
            switch (random() % 3) {
                case 0:
                    damaged[at] = c;
                    break;
                case 1:
                    damaged.insert(at, 1, c);
                    break;
                default:
                    damaged.erase(at, 1 + random() % 40);
            }
        }
        const auto journal = parseQueueJournalText(sealed(damaged));
        if (!journal) continue;
        ++accepted;
        const auto again = parseQueueJournalText(queueJournalText(*journal));
        ASSERT_TRUE(again) << damaged;
        expectSameJournal(*again, *journal);
    }
    // Some damage (a changed letter of a path) is still a journal; the parser is not refusing all.
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace torvane
