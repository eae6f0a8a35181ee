// The ten-entry table, hisc.dat as it is written, read and shared, and the replays beside it.
// Tests that touch files run in a folder of their own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "hiscore/high_score_table.h"
#include "tests/support/test_game.h"

namespace {
namespace fs = std::filesystem;
using Bytes = std::string;
const char* const file = "hisc.dat";
// Score 12345, "Al", length 2, capacity 15, worked out from the file's layout by hand.
const Bytes alRecord("\x39\x30\0\0\0\0\0\0Al\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x02\0\0\0\x0F\0\0\0", 32);

HighScoreTable tableOf(const std::vector<int32_t>& scores, std::vector<std::string> names = {}) {
    HighScoreTable table;
    for (size_t k = 0; k < scores.size(); ++k)
        table.entries[k] = {scores[k], k < names.size() ? names[k] : "old" + std::to_string(k)};
    return table;
}

std::string describe(const HighScoreTable& table) {
    std::string text;
    for (const auto& entry : table.entries)
        text += std::to_string(entry.score) + ":" + entry.name + " ";
    return text;
}

// What saving does when a file size limit stops every write after 100 bytes, as a full disk
// would.
template <typename Save> bool onAFullDisk(Save save) {
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{100, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = save();
    setrlimit(RLIMIT_FSIZE, &limit);
    return saved;
}

// The table a file holds, over the defaults.
std::string describeFile(const char* path) {
    HighScoreTable table;
    table.load(path);
    return describe(table);
}

struct ScoreFile : testing::Test {
    ScratchDirectory scratch;
};
} // namespace

TEST(HighScoreTable, NewcomerGoesAboveEqualsAndTheTenthIsTheBar) {
    // A newcomer goes above its equals; an equal of the tenth takes tenth place and one below
    // is refused, leaving the table as it was; negative scores compare signed.
    HighScoreTable table = tableOf({50, 40, 40, 40, 30, 20, 10, 5, -7, -9});
    EXPECT_EQ(table.insert(HighScoreEntry(40, "new")), 0);
    EXPECT_EQ(table.insert(HighScoreEntry(-7, "tenth")), 0);
    EXPECT_EQ(table.insert(HighScoreEntry(-8, "low")), -1);
    // Only a score above the tenth is asked a name for, though an equal one would be placed.
    EXPECT_EQ(std::make_pair(table.qualifies(-7), table.qualifies(-6)), std::make_pair(-1, 1));
    EXPECT_EQ(describe(table), "50:old0 40:new 40:old1 40:old2 40:old3 30:old4 20:old5 10:old6 "
                               "5:old7 -7:tenth ");
    // As a hand-edited file might leave it: the first place not above the newcomer is taken.
    HighScoreTable unordered = tableOf({30, 100, 2, 50, 1, 40, 0, 30, -1, 20});
    EXPECT_EQ(unordered.insert(HighScoreEntry(19, "below tenth")), -1);
    EXPECT_EQ(unordered.insert(HighScoreEntry(25, "y")), 0);
    EXPECT_EQ(describe(unordered), "30:old0 100:old1 25:y 2:old2 50:old3 1:old4 40:old5 0:old6 "
                                   "30:old7 -1:old8 ");
}

TEST_F(ScoreFile, RecordsRoundTripOddFilesAreReadSafelyAndFailedSavesChangeNothing) {
    // A temp file that a killed save left behind is harmless and cleared by the next save; a
    // file of the player's that only looks like one stays.
    const char* const leftover = "hisc.dat.saving-Ab12Cd";
    writeWholeFile(leftover, Bytes(50, '\xEE'));
    writeWholeFile("hisc.dat.saving-notes", "mine");
    const HighScoreTable saved = tableOf({12345, -2, 15, INT32_MIN, INT32_MAX, 0, -1, 7, 8, 9},
                                         {"Al", "", "ABCDEFGHIJKLMNO", "\xC3\xA9t\xFF"});
    EXPECT_TRUE(saved.save(file));
    EXPECT_NE(access(leftover, F_OK), 0);
    EXPECT_EQ(readWholeFile("hisc.dat.saving-notes"), "mine");
    const Bytes full = readWholeFile(file);
    ASSERT_EQ(full.size(), 320u);
    EXPECT_EQ(full.substr(0, 32), alRecord);
    EXPECT_FALSE(onAFullDisk([] { return tableOf({77}).save(file); })) << "passed for saved";
    EXPECT_EQ(readWholeFile(file), full);
    // Odd files: whole records are taken in order, the rest keeps the defaults.
    HighScoreTable shortened, garbledTable = saved;
    std::copy_n(saved.entries, 3, shortened.entries);
    garbledTable.entries[1].name = std::string(15, 'N');
    Bytes garbled = full;
    garbled.resize(400, '\xAB');
    garbled[4] = '\xFF';                           // reserved slot after the score
    std::fill(&garbled[24], &garbled[28], '\xFF'); // length beyond any name
    std::fill(&garbled[40], &garbled[57], 'N');    // 16 name bytes unterminated, a length of 'N'
    const std::pair<Bytes, HighScoreTable> cases[] = {
        {full, saved}, {{}, {}}, {full.substr(0, 100), shortened}, {garbled, garbledTable}};
    for (const auto& [bytes, expected] : cases) {
        writeWholeFile(file, bytes);
        HighScoreTable table;
        table.load(file);
        table.load("missing.dat");
        EXPECT_EQ(describe(table), describe(expected)) << bytes.size();
    }
}

TEST_F(ScoreFile, SaveGoesThroughLinksKeepsModesLiveSavesAndWorksInAReadOnlyFolder) {
    const HighScoreTable table = tableOf({42, 41});
    // A hisc.dat of a mode no fresh temp file has, beside another game's save in progress,
    // which holds its temp file.
    writeWholeFile(file, Bytes(320, '\0'));
    ASSERT_EQ(chmod(file, 0640), 0);
    const char* const live = "hisc.dat.saving-Live01";
    const int held = open(live, O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    EXPECT_TRUE(table.save(file));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    // A new file gets what creating it plainly would give, not a temp file's private mode.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_TRUE(table.save("new.dat"));
    EXPECT_EQ(fs::status("new.dat").permissions(), fs::perms(0666 & ~mask));
    EXPECT_EQ(describeFile(file), describe(table));
    EXPECT_EQ(access(live, F_OK), 0) << "a live save's temp file was removed";
    close(held);
    // A link: it stays, and the file behind it takes the table.
    ASSERT_EQ(mkdir("real", 0755) + symlink("scores", "real/linked.dat"), 0); // to real/scores
    writeWholeFile("real/scores", Bytes(320, '\0'));
    EXPECT_TRUE(table.save("real/linked.dat") && fs::is_symlink("real/linked.dat"));
    EXPECT_EQ(describeFile("real/scores"), describe(table));
    // A writable hisc.dat in a folder that is not: for root, through an account that may
    // write the file only.
    ASSERT_EQ(mkdir("locked", 0755) + chmod(".", 0755), 0);
    writeWholeFile("locked/hisc.dat", Bytes(320, '\0'));
    ASSERT_EQ(chown("locked/hisc.dat", 65534, 65534) == 0 || geteuid() != 0, true);
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped =
            geteuid() == 0 ? setgid(65534) == 0 && setuid(65534) == 0 : chmod("locked", 0555) == 0;
        const bool saved = dropped && table.save("locked/hisc.dat");
        _exit(saved && access("locked/x", F_OK) != 0 && creat("locked/x", 0644) < 0 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod("locked", 0755);
    EXPECT_EQ(status, 0) << "the folder was writable after all, or the save said it failed";
    EXPECT_EQ(describeFile("locked/hisc.dat"), describe(table));
}

// Each commit puts its result into the table as the file holds it then, under a lock: two games
// saving at the same time, five results each, all of which have a place.
TEST_F(ScoreFile, TwoGamesInOneFolderKeepBothResults) {
    pid_t games[2];
    for (int g = 0; g < 2; ++g)
        if ((games[g] = fork()) == 0) {
            HighScoreTable table;
            for (int i = 0; i < 5; ++i)
                commitToFile(table, HighScoreEntry(100 + 2 * i + g, "g" + std::to_string(g)), file);
            _exit(0);
        }
    for (pid_t game : games)
        waitpid(game, nullptr, 0);
    EXPECT_EQ(describeFile(file), "109:g1 108:g0 107:g1 106:g0 105:g1 104:g0 103:g1 102:g0 101:g1 "
                                  "100:g0 ");
}

// A game killed at any moment of its saves leaves hisc.dat a table one of its commits meant to
// write, never a mix of two, with at most the killed save's temp file beside it. Each commit
// adds a new best named by its score, so after k of them the file holds those k above the
// best ones it held before.
TEST_F(ScoreFile, AGameKilledWhileSavingLeavesAWholeTable) {
    std::minstd_rand delays(20);
    for (int round = 0; round < 30; ++round) {
        HighScoreTable before, after, expected;
        before.load(file);
        const int32_t best = before.entries[0].score;
        const pid_t game = fork();
        if (game == 0) {
            for (int32_t score = best + 1; score < best + 100000; ++score)
                commitToFile(after, HighScoreEntry(score, std::to_string(score)), file);
            _exit(0);
        }
        // The first commit of the round shows, then the kill lands among the ones after it.
        for (int waited = 0; waited < 5000 && describeFile(file) == describe(before); ++waited)
            usleep(1000);
        usleep(delays() % 20000);
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
        after.load(file);
        const int32_t k = after.entries[0].score - best;
        for (int i = 0; i < HighScoreTable::entryCount; ++i)
            expected.entries[i] = i < k ? HighScoreEntry(best + k - i, std::to_string(best + k - i))
                                        : before.entries[i - k];
        ASSERT_GE(k, 1) << "round " << round << ": no commit before the kill";
        ASSERT_EQ(describe(after), describe(expected)) << "round " << round;
        ASSERT_EQ(std::system("test $(ls -A | grep -c saving) -le 1"), 0) << "round " << round;
    }
}

// A placed result's replay lies in replays/ beside hisc.dat while its entry stays (of equal
// entries the higher takes the newer replay); a result without a place keeps none; a killed
// save's leftover goes, other files stay; with two games in one folder the replays follow the
// table saved.
TEST_F(ScoreFile, ReplaysFollowTheSavedTable) {
    const auto replaysOf = [](const HighScoreTable& table) {
        std::string text;
        for (const std::string& path : replayFilesOf(table, file))
            text += (path.empty() ? "-" : readWholeFile(path.c_str())) + " ";
        return text;
    };
    ASSERT_EQ(mkdir("replays", 0755), 0);
    writeWholeFile("replays/notes.txt", "mine");
    writeWholeFile("replays/5_41_00000000000000aa.orbr.saving-Xy12Zq", "a killed save's");
    // Spellings of a score of 50 that the folder never writes: someone else's files.
    for (const char* lookalike :
         {"replays/4294967346__ffffffffffffff00.orbr", "replays/050__ffffffffffffff00.orbr"})
        writeWholeFile(lookalike, "x");
    HighScoreTable first, second; // second started before first saved anything
    const struct {
        HighScoreTable* game;
        int32_t score;
        const char *name, *replay, *kept;
    } commits[] = {
        {&first, 50, "", "r1", "r1 - - - - - - - - - "},
        {&first, 40, "Bÿ/ of fifteen", "r2", "r1 r2 - - - - - - - - "},
        {&first, 50, "", "r3", "r3 r1 r2 - - - - - - - "},
        {&first, 0, "Z", "rz", "r3 r1 r2 - - - - - - - "},
        {&second, INT32_MAX, "C", "r4", "r4 r3 r1 r2 - - - - - - "},
        {&second, 60, "C", "", "r4 - r3 r1 r2 - - - - - "},
    };
    for (const auto& c : commits) {
        commitToFile(*c.game, HighScoreEntry(c.score, c.name), file, c.replay);
        EXPECT_EQ(replaysOf(*c.game), c.kept) << c.score << c.name;
    }
    for (int i = 0; i < 7; ++i) // pushes B, then the lower nameless one, out of the table
        commitToFile(second, HighScoreEntry(61 + i, "C"), file);
    EXPECT_EQ(replaysOf(second), "r4 - - - - - - - - r3 ");
    EXPECT_EQ(std::system("test $(ls replays | wc -l) = 5 && test $(cat replays/notes.txt) = mine"),
              0);
}

// A result a save could not keep stays in the table and goes to the file with the next one,
// whether the file was missing (its folder too) or there to read but not to write.
TEST_F(ScoreFile, UnsavedResultsAreSavedWithTheNextAndSpecialFilesAreLeftAlone) {
    HighScoreTable before;
    ASSERT_TRUE(commitToFile(before, HighScoreEntry(12345, "Al"), file).saved);
    const std::string testers = "1:Tester 1:Tester 1:Tester 1:Tester 1:Tester 1:Tester ";
    const struct {
        const char* path;
        bool fullDisk;
        std::string saved;
    } cases[] = {{"later/hisc.dat", false, "30:u 20:u 10:s 1:Tester " + testers},
                 {file, true, "12345:Al 30:u 20:u 10:s " + testers}};
    for (const auto& c : cases) {
        HighScoreTable table;
        for (int score : {30, 20}) {
            const auto commit = [&] { return commitToFile(table, {score, "u"}, c.path).saved; };
            EXPECT_FALSE(c.fullDisk ? onAFullDisk(commit) : commit()) << c.path;
        }
        mkdir("later", 0755);
        EXPECT_TRUE(commitToFile(table, HighScoreEntry(10, "s"), c.path).saved);
        EXPECT_EQ(describeFile(c.path), c.saved);
        EXPECT_EQ(describe(table), c.saved);
    }
    // Nothing but a regular file is read (a FIFO would hold up start-up) or replaced.
    ASSERT_EQ(mkfifo("fifo", 0644) + symlink("fifo", "link") + mkdir("folder", 0755), 0);
    alarm(60); // a load that waits on the FIFO fails the test rather than hanging it
    for (const char* special : {"fifo", "link", "folder"}) {
        HighScoreTable loaded = tableOf({5});
        loaded.load(special);
        EXPECT_EQ(describe(loaded), describe(tableOf({5}))) << special;
        EXPECT_FALSE(commitToFile(loaded, HighScoreEntry(9, "x"), special).saved) << special;
    }
    alarm(0);
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status("fifo")) && fs::is_symlink("link"));
    EXPECT_EQ(std::system("test $(ls -A | wc -l) -eq 5"), 0) << "a file was left behind";
}
