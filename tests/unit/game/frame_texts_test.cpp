#include <gtest/gtest.h>

#include "game/frame_texts.h"
#include "record/game_state.h"
#include "tests/support/test_game.h"

// The score screen puts the game back on the menu, which hides the round's own texts.
TEST(FrameTexts, RoundEndTextsShowUntilTheScoreScreenReturnsToTheMenu) {
    resetGameForTest();
    game.inMenu = false;
    game.gameOver = game.namePromptVisible = game.nameEntryActive = true;
    std::snprintf(game.playerName, sizeof game.playerName, "Ab");
    drawFrameTexts();
    EXPECT_EQ(textAt(390, 280) + "|" + textAt(160, 300) + "|" + textAt(230, 320),
              "Ab|You made it to the high scores. Please enter your name:|"
              "You're supposed to AVOID the spikeballs!");
    game.nameEntryActive = false;
    game.scoreScreenVisible = true;
    game.statusMessage = "Could not connect to server.";
    TSLClearPrintedTexts();
    drawFrameTexts();
    EXPECT_EQ(textAt(390, 280) + "|" + textAt(160, 300) + "|" + textAt(230, 320),
              "(nothing)|(nothing)|(nothing)");
    EXPECT_EQ(textAt(300, 20) + "|" + textAt(300, 40),
              "Press enter to upload your local scores.|Could not connect to server.");
}
