// The round's result into the local table and hisc.dat, and the columns of the score screen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "record/game_state.h"
#include "scores/result_screen.h"
#include "tests/support/test_game.h"

// Toward zero, and into the 32-bit range.
TEST(ScoreToInt, CutsTowardZeroAndHoldsTheRange) {
    // clang-format off
    const std::pair<float, int> cases[] = {
        {99.7f, 99}, {-99.7f, -99}, {2147483520.0f, 2147483520}, {-2147483648.0f, INT32_MIN},
        {2147483648.0f, INT32_MAX}, {-INFINITY, INT32_MIN}, {INFINITY, INT32_MAX}, {NAN, 0}};
    // clang-format on
    for (const auto& [score, expected] : cases)
        EXPECT_EQ(scoreToInt(score), expected) << score;
}

// The name up to its first zero byte (all sixteen bytes typed: the first fifteen), the score
// cut toward zero, placed above its equals and saved; a result without a place is refused with a
// word printed once, and the table saved all the same.
TEST(CommitResult, PlacesTheResultAndSavesTheTable) {
    ScratchDirectory scratch;
    resetGameForTest();
    const std::string sixteen(16, 'N');
    const std::tuple<float, std::string, bool> commits[] = {
        {57, "", false}, {99.7f, "Ann", false}, {99, sixteen, false}, {0.9f, "Zed", true}};
    for (const auto& [score, name, refused] : commits) {
        game.score = score;
        std::memset(game.playerName, 0, sizeof game.playerName);
        std::memcpy(game.playerName, name.data(), name.size());
        TSLClearPrintedTexts();
        EXPECT_TRUE(commitResult()) << name;
        EXPECT_EQ(textAt(500, 450),
                  refused ? "Sorry, you didn't make it to the high scores." : "(nothing)");
        EXPECT_TRUE(game.scoreScreenVisible);
    }
    game.internetScores[0] = std::string(5000, 'x'); // cut to the line's buffer
    game.internetScores[1] = "%s%n%i";               // the server's text is no format
    TSLClearPrintedTexts();
    drawHighScoreScreen();
    const std::pair<float, std::string> lines[] = {
        {260, "1: NNNNNNNNNNNNNNN 99"}, {240, "2: Ann 99"}, {220, "3:  57"}, {80, "10: Tester 1"}};
    for (const auto& [y, line] : lines)
        EXPECT_EQ(textAt(300, y), line);
    EXPECT_EQ(textAt(550, 260), "1: " + std::string(textBufferSize - 4, 'x'));
    EXPECT_EQ(textAt(550, 240), "2: %s%n%i");
    ASSERT_TRUE(game.localScores.save("table.dat"));
    EXPECT_EQ(readWholeFile("hisc.dat"), readWholeFile("table.dat"));
}
