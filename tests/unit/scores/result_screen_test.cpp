#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "engine/tessel.h"
#include "game/game_state.h"
#include "scores/high_score_table.h"
#include "scores/result_screen.h"
#include "tests/support/test_game.h"

namespace {
const char* const sorryText = "Sorry, you didn't make it to the high scores.";

// commitResult writes hisc.dat into the working directory, so each test gets its own.
class ResultScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        resetGameForTest();
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        previousDir = here;
        char pattern[] = "/tmp/orbelle-screen-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previousDir.c_str()), 0);
        std::system(("rm -rf '" + dir + "'").c_str());
    }

    std::string previousDir;
    std::string dir;
};

const TSLPrintedText* findText(const std::string& text) {
    for (const auto& printed : TSLPrintedTexts())
        if (printed.text == text)
            return &printed;
    return nullptr;
}

int countText(const std::string& text) {
    int count = 0;
    for (const auto& printed : TSLPrintedTexts())
        count += printed.text == text;
    return count;
}

std::vector<unsigned char> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

std::vector<unsigned char> imageOf(const HighScoreTable& table) {
    std::vector<unsigned char> bytes(HighScoreTable::fileSize);
    writeScoresToBytes(table, bytes.data());
    return bytes;
}

void drawFrame() {
    TSLClearPrintedTexts();
    drawHighScoreScreen();
}
} // namespace

TEST(ScoreToInt, TruncatesTowardZeroAndClampsToTheRange) {
    EXPECT_EQ(scoreToInt(99.7f), 99);
    EXPECT_EQ(scoreToInt(-99.7f), -99);
    EXPECT_EQ(scoreToInt(0.999f), 0);
    EXPECT_EQ(scoreToInt(2147483520.0f), 2147483520); // the largest float below 2^31
    EXPECT_EQ(scoreToInt(-2147483648.0f), INT_MIN);
    EXPECT_EQ(scoreToInt(2147483648.0f), INT_MAX);
    EXPECT_EQ(scoreToInt(1e20f), INT_MAX);
    EXPECT_EQ(scoreToInt(-1e20f), INT_MIN);
    EXPECT_EQ(scoreToInt(std::numeric_limits<float>::infinity()), INT_MAX);
    EXPECT_EQ(scoreToInt(-std::numeric_limits<float>::infinity()), INT_MIN);
    EXPECT_EQ(scoreToInt(std::nanf("")), 0);
}

TEST_F(ResultScreen, DefaultTableFillsBothColumns) {
    game.scoreScreenVisible = true;
    game.inMenu = false;
    game.menuSelection = 3;
    drawFrame();
    EXPECT_TRUE(game.inMenu);
    EXPECT_EQ(game.menuSelection, 1);

    const auto& texts = TSLPrintedTexts();
    ASSERT_EQ(texts.size(), 22u);
    const TSLPrintedText* local = findText("Local highscores:");
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->x, 300);
    EXPECT_EQ(local->y, 280);
    const TSLPrintedText* internet = findText("Internet highscores:");
    ASSERT_NE(internet, nullptr);
    EXPECT_EQ(internet->x, 550);
    EXPECT_EQ(internet->y, 280);
    for (int rank = 1; rank <= 10; ++rank) {
        std::string prefix = std::to_string(rank) + ": ";
        const TSLPrintedText* left = findText(prefix + "Tester 1");
        ASSERT_NE(left, nullptr) << rank;
        EXPECT_EQ(left->x, 300);
        EXPECT_EQ(left->y, 280 - 20 * rank);
        const TSLPrintedText* right = findText(prefix);
        ASSERT_NE(right, nullptr) << rank;
        EXPECT_EQ(right->x, 550);
        EXPECT_EQ(right->y, 280 - 20 * rank);
    }
}

TEST_F(ResultScreen, HiddenScreenDrawsAndChangesNothing) {
    game.inMenu = false;
    game.menuSelection = 2;
    drawFrame();
    EXPECT_TRUE(TSLPrintedTexts().empty());
    EXPECT_FALSE(game.inMenu);
    EXPECT_EQ(game.menuSelection, 2);
}

TEST_F(ResultScreen, ShowsEntriesLoadedFromAFileAndOddInternetLines) {
    unsigned char al[32] = {0x39, 0x30, 0, 0, 0, 0, 0, 0, 0x41, 0x6C, 0, 0, 0,    0, 0, 0,
                            0,    0,    0, 0, 0, 0, 0, 0, 0x02, 0,    0, 0, 0x0F, 0, 0, 0};
    std::ofstream("hisc.dat", std::ios::binary).write(reinterpret_cast<char*>(al), sizeof al);
    game.localScores.load(localScoreFile);
    game.internetScores[0] = std::string(5000, 'x');
    game.internetScores[1] = "%s%n%i"; // the server's text is data, never a format
    game.internetScores[9] = "Bea 400";
    game.scoreScreenVisible = true;
    drawFrame();

    const TSLPrintedText* first = findText("1: Al 12345");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->y, 260);
    EXPECT_NE(findText("2: Tester 1"), nullptr);

    const TSLPrintedText* longLine = nullptr;
    for (const auto& printed : TSLPrintedTexts())
        if (printed.x == 550 && printed.y == 260)
            longLine = &printed;
    ASSERT_NE(longLine, nullptr);
    EXPECT_EQ(longLine->text, "1: " + std::string(textBufferSize - 4, 'x'));
    EXPECT_NE(findText("2: %s%n%i"), nullptr);
    EXPECT_NE(findText("10: Bea 400"), nullptr);
}

TEST_F(ResultScreen, CommitStoresTruncatedScoreAndSaves) {
    game.score = 57;
    commitResult(); // the name is empty
    drawFrame();
    EXPECT_NE(findText("1:  57"), nullptr);

    game.score = 99.7f;
    std::strcpy(game.playerName, "Ann");
    game.inMenu = false;
    game.menuSelection = 0;
    commitResult();
    EXPECT_TRUE(game.scoreScreenVisible);
    EXPECT_FALSE(game.inMenu);
    EXPECT_EQ(game.menuSelection, 0);
    EXPECT_EQ(game.score, 99.7f);
    EXPECT_STREQ(game.playerName, "Ann");
    EXPECT_EQ(countText(sorryText), 0);
    EXPECT_EQ(readFile(localScoreFile), imageOf(game.localScores));

    HighScoreTable fromFile;
    fromFile.load(localScoreFile);
    EXPECT_EQ(fromFile.entries[0].score, 99);
    EXPECT_EQ(fromFile.entries[0].name, "Ann");
    EXPECT_EQ(fromFile.entries[1].score, 57);
    EXPECT_EQ(fromFile.entries[1].name, "");

    drawFrame();
    EXPECT_NE(findText("1: Ann 99"), nullptr);
    EXPECT_NE(findText("2:  57"), nullptr);
    EXPECT_NE(findText("3: Tester 1"), nullptr);
}

TEST_F(ResultScreen, NameWithoutTerminatorIsCutToFifteen) {
    game.score = 10;
    std::memset(game.playerName, 'N', sizeof game.playerName);
    commitResult();
    EXPECT_EQ(game.localScores.entries[0].name, std::string(15, 'N'));
}

TEST_F(ResultScreen, RefusedResultIsAnnouncedOnceAndStillSaved) {
    for (auto& entry : game.localScores.entries)
        entry = HighScoreEntry(100, "Pro");
    HighScoreTable().save(localScoreFile); // an older file that must be rewritten
    game.score = 5;
    std::strcpy(game.playerName, "Newbie");
    commitResult();

    EXPECT_EQ(countText(sorryText), 1);
    const TSLPrintedText* sorry = findText(sorryText);
    ASSERT_NE(sorry, nullptr);
    EXPECT_EQ(sorry->x, 500);
    EXPECT_EQ(sorry->y, 450);
    EXPECT_TRUE(game.scoreScreenVisible);
    for (const auto& entry : game.localScores.entries)
        EXPECT_EQ(entry.name, "Pro");
    EXPECT_EQ(readFile(localScoreFile), imageOf(game.localScores));

    drawFrame();
    EXPECT_EQ(countText(sorryText), 0);
}
