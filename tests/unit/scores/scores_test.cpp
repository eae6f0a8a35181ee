// The result entry and the score screen. Tests that touch files run in a folder of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "hiscore/high_score_table.h"
#include "record/game_state.h"
#include "scores/result_screen.h"
#include "tests/support/test_game.h"

namespace {
const char* const file = "hisc.dat";
// Score 12345, "Al", length 2, capacity 15, worked out from the file's layout by hand.
const std::string alRecord("\x39\x30\0\0\0\0\0\0Al\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x02\0\0\0\x0F\0\0\0", 32);

std::string describe(const HighScoreTable& table) {
    std::string text;
    for (const auto& entry : table.entries)
        text += std::to_string(entry.score) + ":" + entry.name + " ";
    return text;
}

struct Scores : testing::Test {
    void SetUp() override { resetGameForTest(); }
    ScratchDirectory scratch;
};
} // namespace

TEST_F(Scores, ScoreScreenColumnsAndCommittedResults) {
    game.inMenu = false;
    drawHighScoreScreen(); // hidden: draws nothing and leaves the menu alone
    EXPECT_TRUE(TSLPrintedTexts().empty() && !game.inMenu && game.menuSelection == 0);
    game.scoreScreenVisible = true;
    drawHighScoreScreen();
    EXPECT_TRUE(game.inMenu);
    EXPECT_EQ(game.menuSelection, 1);
    ASSERT_EQ(TSLPrintedTexts().size(), 22u);
    EXPECT_EQ(textAt(300, 280) + textAt(550, 280), "Local highscores:Internet highscores:");
    for (int rank = 1; rank <= 10; ++rank) {
        EXPECT_EQ(textAt(300, 280 - 20 * rank), std::to_string(rank) + ": Tester 1");
        EXPECT_EQ(textAt(550, 280 - 20 * rank), std::to_string(rank) + ": ");
    }
    // clang-format off
    const std::pair<float, int> cases[] = {
        {99.7f, 99}, {-99.7f, -99}, {2147483520.0f, 2147483520}, {-2147483648.0f, INT32_MIN},
        {2147483648.0f, INT32_MAX}, {-INFINITY, INT32_MIN}, {INFINITY, INT32_MAX}, {NAN, 0}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(scoreToInt(c.first), c.second) << c.first;
    writeWholeFile(file, alRecord); // a hand-made file of one record
    game.localScores.load(localScoreFile);
    game.score = 57;
    commitResult(); // the name is empty
    game.score = 99.7f;
    std::copy_n("Ann", 4, game.playerName);
    commitResult();
    std::fill_n(game.playerName, sizeof game.playerName, 'N'); // no terminator: cut to fifteen
    commitResult();
    game.score = 0; // below the tenth, "Tester 1": refused, and announced for one frame
    commitResult();
    EXPECT_EQ(textAt(500, 450), "Sorry, you didn't make it to the high scores.");
    const std::string committed = "12345:Al 99:NNNNNNNNNNNNNNN 99:Ann 57: 1:Tester 1:Tester "
                                  "1:Tester 1:Tester 1:Tester 1:Tester ";
    EXPECT_EQ(describe(game.localScores), committed);
    game.localScores = HighScoreTable();
    game.localScores.load(localScoreFile);
    EXPECT_EQ(describe(game.localScores), committed) << "the commits were not saved";
    game.internetScores[0] = std::string(5000, 'x');
    game.internetScores[1] = "%s%n%i"; // the server's text is data, never a format
    TSLClearPrintedTexts();
    drawHighScoreScreen();
    EXPECT_EQ(textAt(300, 260) + "|" + textAt(300, 240) + "|" + textAt(300, 220) + "|" +
                  textAt(300, 200) + "|" + textAt(500, 450),
              "1: Al 12345|2: NNNNNNNNNNNNNNN 99|3: Ann 99|4:  57|(nothing)");
    EXPECT_EQ(textAt(550, 260), "1: " + std::string(textBufferSize - 4, 'x'));
    EXPECT_EQ(textAt(550, 240), "2: %s%n%i");
}
