// The ten-entry table, hisc.dat as it is written and read, the result entry and the score
// screen. Tests that touch files run in a folder of their own.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "engine/tessel.h"
#include "game/game_state.h"
#include "scores/high_score_table.h"
#include "scores/result_screen.h"
#include "tests/support/test_game.h"

namespace {
using Bytes = std::vector<unsigned char>;
const char* const file = "hisc.dat";
const Bytes alRecord = {0x39, 0x30, 0, 0, 0, 0, 0, 0, 0x41, 0x6C, 0, 0, 0,    0, 0, 0,
                        0,    0,    0, 0, 0, 0, 0, 0, 0x02, 0,    0, 0, 0x0F, 0, 0, 0};

HighScoreTable tableOf(const std::vector<int32_t>& scores) {
    HighScoreTable table;
    for (size_t k = 0; k < scores.size(); ++k)
        table.entries[k] = HighScoreEntry(scores[k], "old" + std::to_string(k));
    return table;
}

std::string describe(const HighScoreTable& table) {
    std::string text;
    for (const auto& entry : table.entries)
        text += std::to_string(entry.score) + ":" + entry.name + " ";
    return text;
}

Bytes readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const char* path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The printed text at (x, y), or "?" when there is none.
std::string textAt(float x, float y) {
    for (const auto& printed : TSLPrintedTexts())
        if (printed.x == x && printed.y == y)
            return printed.text;
    return "?";
}

void drawFrame() {
    TSLClearPrintedTexts();
    drawHighScoreScreen();
}

class Scores : public testing::Test {
  protected:
    void SetUp() override {
        resetGameForTest();
        ASSERT_TRUE(getcwd(previousDir, sizeof previousDir) && mkdtemp(dir) && !chdir(dir));
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previousDir), 0);
        std::system(("rm -rf '" + std::string(dir) + "'").c_str());
    }
    char previousDir[4096], dir[32] = "/tmp/orbelle-scores-XXXXXX";
};
} // namespace

TEST(HighScoreTable, NewcomerGoesAboveEqualsAndTheTenthIsTheBar) {
    HighScoreTable fresh;
    EXPECT_EQ(fresh.qualifies(1), -1);
    EXPECT_EQ(fresh.qualifies(2), 1);

    HighScoreTable ties = tableOf({50, 40, 40, 40, 30, 20, 10, 5, 3, 2});
    EXPECT_EQ(ties.insert(HighScoreEntry(40, "new")), 0);
    EXPECT_EQ(describe(ties), "50:old0 40:new 40:old1 40:old2 40:old3 30:old4 20:old5 10:old6 "
                              "5:old7 3:old8 ");

    HighScoreTable tenth = tableOf({90, 80, 70, 60, 50, 40, 30, 20, 7, 5});
    EXPECT_EQ(tenth.insert(HighScoreEntry(5, "tenth")), 0);
    EXPECT_EQ(tenth.entries[8].name + " " + tenth.entries[9].name, "old8 tenth");
    const std::string before = describe(tenth);
    EXPECT_EQ(tenth.insert(HighScoreEntry(4, "low")), -1);
    EXPECT_EQ(describe(tenth), before);

    HighScoreTable negative = tableOf({5, 0, -1, -2, -3, -4, -5, -6, -7, -100});
    EXPECT_EQ(negative.insert(HighScoreEntry(-50, "neg")), 0); // a signed comparison

    // As a hand-edited file might leave it: the first place not above the newcomer is taken.
    HighScoreTable unordered = tableOf({30, 100, 2, 50, 1, 40, 0, 30, -1, 20});
    EXPECT_EQ(unordered.insert(HighScoreEntry(19, "below tenth")), -1);
    EXPECT_EQ(unordered.insert(HighScoreEntry(25, "y")), 0);
    EXPECT_EQ(describe(unordered), "30:old0 100:old1 25:y 2:old2 50:old3 1:old4 40:old5 0:old6 "
                                   "30:old7 -1:old8 ");
}

TEST_F(Scores, RecordBytesRoundTripAndOddFiles) {
    HighScoreTable saved = tableOf({12345, -2, 15, INT32_MIN, INT32_MAX, 0, -1, 7, 8, 9});
    saved.entries[0].name = "Al";
    saved.entries[1].name = "";
    saved.entries[2].name = "ABCDEFGHIJKLMNO";
    const mode_t mask = umask(022);
    saved.save(file);
    umask(mask);
    const Bytes full = readFile(file);
    ASSERT_EQ(full.size(), 320u);
    EXPECT_EQ(Bytes(full.begin(), full.begin() + 32), alRecord);
    struct stat info;
    ASSERT_EQ(stat(file, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    HighScoreTable table;
    table.load(file);
    EXPECT_EQ(describe(table), describe(saved));

    table = HighScoreTable();
    writeFile(file, {});
    table.load(file);
    table.load("missing.dat");
    EXPECT_EQ(describe(table), describe(HighScoreTable()));
    writeFile(file, Bytes(full.begin(), full.begin() + 100)); // three records and a bit
    table.load(file);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(table.entries[k].name, saved.entries[k].name);
    EXPECT_EQ(table.entries[3].name, "Tester");

    Bytes garbled = full;
    garbled.resize(400, 0xAB);
    garbled[4] = 0xFF;            // reserved slot after the score
    for (int i = 24; i < 28; ++i) // length beyond any name
        garbled[i] = 0xFF;
    for (int i = 40; i <= 56; ++i) // 16 name bytes with no terminator, and a length of 'N'
        garbled[i] = 'N';
    writeFile(file, garbled);
    table.load(file);
    EXPECT_EQ(table.entries[0].name, "Al");
    EXPECT_EQ(table.entries[0].score, 12345);
    EXPECT_EQ(table.entries[1].name, std::string(15, 'N'));
    for (int k = 2; k < 10; ++k)
        EXPECT_EQ(table.entries[k].name, saved.entries[k].name);
}

TEST_F(Scores, FailedSaveLeavesTheOldFileAndNoLitter) {
    tableOf({3, 2, 1}).save(file);
    const Bytes before = readFile(file);
    const HighScoreTable changed = tableOf({77});

    // A file size limit stops the write after 100 bytes, as a full disk would.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{100, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    changed.save(file);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(readFile(file), before);

    // A directory in the way: the rename fails and the temp file goes away.
    ASSERT_EQ(mkdir("taken.dat", 0755), 0);
    changed.save("taken.dat");
    EXPECT_EQ(std::system("test $(ls -A | wc -l) -eq 2"), 0);

    // A temp file that a killed save left behind is harmless and cleared by the next save.
    const char* const leftover = "hisc.dat.saving-Ab12Cd";
    writeFile(leftover, Bytes(50, 0xEE));
    changed.save(file);
    EXPECT_NE(access(leftover, F_OK), 0);
}

TEST_F(Scores, ColumnsAreDrawnOnlyWhenVisible) {
    game.inMenu = false;
    game.menuSelection = 2;
    drawFrame();
    EXPECT_TRUE(TSLPrintedTexts().empty());
    EXPECT_FALSE(game.inMenu);
    EXPECT_EQ(game.menuSelection, 2);

    game.scoreScreenVisible = true;
    drawFrame();
    EXPECT_TRUE(game.inMenu);
    EXPECT_EQ(game.menuSelection, 1);
    ASSERT_EQ(TSLPrintedTexts().size(), 22u);
    EXPECT_EQ(textAt(300, 280), "Local highscores:");
    EXPECT_EQ(textAt(550, 280), "Internet highscores:");
    for (int rank = 1; rank <= 10; ++rank) {
        EXPECT_EQ(textAt(300, 280 - 20 * rank), std::to_string(rank) + ": Tester 1");
        EXPECT_EQ(textAt(550, 280 - 20 * rank), std::to_string(rank) + ": ");
    }

    writeFile(file, alRecord); // a hand-made file of one record
    game.localScores.load(localScoreFile);
    game.internetScores[0] = std::string(5000, 'x');
    game.internetScores[1] = "%s%n%i"; // the server's text is data, never a format
    drawFrame();
    EXPECT_EQ(textAt(300, 260), "1: Al 12345");
    EXPECT_EQ(textAt(550, 260), "1: " + std::string(textBufferSize - 4, 'x'));
    EXPECT_EQ(textAt(550, 240), "2: %s%n%i");
}

TEST_F(Scores, ScoresAreTruncatedAndClampedAndCommitsSaved) {
    // clang-format off
    const std::pair<float, int> cases[] = {
        {99.7f, 99}, {-99.7f, -99}, {2147483520.0f, 2147483520}, {-2147483648.0f, INT32_MIN},
        {2147483648.0f, INT32_MAX}, {-INFINITY, INT32_MIN}, {INFINITY, INT32_MAX}, {NAN, 0}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(scoreToInt(c.first), c.second) << c.first;
    game.score = 57;
    commitResult(); // the name is empty
    game.score = 99.7f;
    std::strcpy(game.playerName, "Ann");
    commitResult();
    HighScoreTable fromFile;
    fromFile.load(localScoreFile);
    EXPECT_EQ(describe(fromFile), describe(game.localScores));
    drawFrame();
    EXPECT_EQ(textAt(300, 260), "1: Ann 99");
    EXPECT_EQ(textAt(300, 240), "2:  57");

    // A name without a terminator is cut to fifteen.
    std::memset(game.playerName, 'N', sizeof game.playerName);
    commitResult();
    EXPECT_EQ(game.localScores.entries[0].name, std::string(15, 'N'));

    // A refused result is announced once.
    game.score = 0; // below the tenth, "Tester 1"
    commitResult();
    EXPECT_EQ(textAt(500, 450), "Sorry, you didn't make it to the high scores.");
    drawFrame();
    EXPECT_EQ(textAt(500, 450), "?");
}
