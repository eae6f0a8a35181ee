#include <gtest/gtest.h>

#include "game/frame_loop.h"
#include "game/frame_texts.h"
#include "game/ticks.h"
#include "record/game_state.h"
#include "record/random.h"
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

TEST(GameRand, FollowsTheClassicSequenceFromItsFirstState) {
    resetGameRand();
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
        EXPECT_EQ(gameRand(), value);
}

// The tick count moves in whole 1/64 s steps, in milliseconds truncated: 0, 15, 31, 46, ...
TEST(Ticks, AdvanceInWholeTimerSteps) {
    uint32_t previous = getTickCount();
    for (int i = 0; i < 3; ++i) {
        waitForNextTick(previous);
        const uint32_t now = getTickCount(), step = uint32_t((uint64_t(now) * 64 + 999) / 1000);
        EXPECT_EQ(uint32_t(uint64_t(step) * 1000 / 64), now);
        EXPECT_GE(now - previous, 15u);
        EXPECT_LT(now - previous, 0x80000000u);
        previous = now;
    }
}

TEST(FramePass, AnUnchangedTickDoesNothingAtAll) {
    resetGameForTest();
    ensureFieldsForTest();
    game.lastTick = 1000;
    game.frameMillis = 16;
    const float bubbleY = game.bubbles[0]->y, spikeY = game.spikes[0]->y;
    EXPECT_FALSE(runFramePass(1000));
    EXPECT_EQ(game.frameMillis, 16u);
    EXPECT_EQ(game.bubbles[0]->y, bubbleY);
    EXPECT_EQ(game.spikes[0]->y, spikeY);
    EXPECT_EQ(gameRand(), 41); // nothing drawn from the generator
}

TEST(FramePass, ElapsedTimeSurvivesTheTickCountWrappingAround) {
    resetGameForTest();
    game.lastTick = 0xFFFFFFF0u;
    EXPECT_TRUE(runFramePass(0x10));
    EXPECT_EQ(game.frameMillis, 0x20u);
    EXPECT_EQ(game.lastTick, 0x10u);
}
