#include <SDL.h>
#include <gtest/gtest.h>

#include <set>

#include "game/frame_loop.h"
#include "game/frame_texts.h"
#include "game/ticks.h"
#include "record/game_state.h"
#include "record/random.h"
#include "tests/support/test_game.h"

TEST(GameRand, FollowsTheClassicSequenceFromItsFirstState) {
    resetGameRand();
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
        EXPECT_EQ(gameRand(), value);
}

// The tick count moves in whole 1/64 s steps, in milliseconds truncated: 0, 15, 31, 46, ...
TEST(Ticks, AdvanceInSystemTimerSteps) {
    uint32_t previous = getTickCount();
    for (int i = 0; i < 3; ++i) {
        waitForNextTick(previous);
        uint32_t now = getTickCount(), step = uint32_t((uint64_t(now) * 64 + 999) / 1000);
        EXPECT_EQ(uint32_t(uint64_t(step) * 1000 / 64), now);
        EXPECT_TRUE(now - previous >= 15 && now - previous < 0x80000000u) << now;
        previous = now;
    }
}

TEST(FramePass, UnchangedTickDoesNothingAtAllAndElapsedTimeSurvivesWrapAround) {
    resetGameForTest();
    ensureFieldsForTest();
    game.lastTick = 1000;
    game.frameMillis = 16;
    float firstBubbleY = game.bubbles[0]->y, firstSpikeY = game.spikes[0]->y;
    SDL_Event quit, queued;
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);
    EXPECT_FALSE(runFramePass(1000));
    EXPECT_EQ(SDL_PeepEvents(&queued, 1, SDL_PEEKEVENT, SDL_ALLEVENTS), 1);
    EXPECT_EQ(game.running, 1);
    EXPECT_EQ(game.frameMillis, 16u);
    EXPECT_EQ(game.bubbles[0]->y, firstBubbleY);
    EXPECT_EQ(game.spikes[0]->y, firstSpikeY);
    EXPECT_TRUE(TSLPrintedTexts().empty());
    EXPECT_EQ(gameRand(), 41); // nothing drawn from the generator

    resetGameForTest();
    game.lastTick = 0xFFFFFFF0u;
    EXPECT_TRUE(runFramePass(0x10));
    EXPECT_EQ(game.frameMillis, 0x20u);
    EXPECT_EQ(game.lastTick, 0x10u);
}

TEST(FramePass, BottomLineShowsWebAddressOnTheMenuAndScoreInPlay) {
    resetGameForTest();
    game.lastTick = 1000;
    std::snprintf(game.scoreText, sizeof game.scoreText, "Score:%7.0f", 0.0);
    ASSERT_TRUE(runFramePass(1016));
    EXPECT_EQ(textAt(5, 2), webAddressText);
    EXPECT_FALSE(wasPrinted(game.scoreText) || wasPrinted(bonusLabel));
    EXPECT_EQ(textAt(150, 300), ">>Start game<<");
    EXPECT_EQ(textAt(270, 240), "(nothing)");

    game.creditsVisible = true;
    ASSERT_TRUE(runFramePass(1031));
    EXPECT_EQ(textAt(270, 260) + "|" + textAt(270, 240) + "|" + textAt(270, 220),
              "Code: Velmo|Gfx: Velmo|Sound: Velmo");

    game.inMenu = game.creditsVisible = false;
    ASSERT_TRUE(runFramePass(1047));
    EXPECT_EQ(textAt(5, 2), "Score:      0");
    EXPECT_EQ(textAt(200, 2), "Bonus:");
    EXPECT_EQ(textAt(200, 20), "Score multiplier: 1.0");
    EXPECT_FALSE(wasPrinted(webAddressText) || wasPrinted(">>Start game<<"));
}

TEST(Music, AnEndedTrackIsFollowedByAnotherButNotWhilePlayingOrOfUnknownLength) {
    ScratchDirectory dir;
    dir.linkData();
    resetGameForTest();
    game.music.PlayFile(musicTracks[0]);
    game.currentTrack = musicTracks[0];
    game.musicLength = game.music.GetLength();
    rotateMusic(); // still playing
    EXPECT_TRUE(game.musicLength > 0 && game.currentTrack == musicTracks[0]);

    std::set<std::string> seen;
    for (uint32_t seed = 1; seed < 40; ++seed) {
        resetGameRand(seed);
        const char* before = game.currentTrack;
        game.music.FinishForTest();
        rotateMusic();
        EXPECT_NE(game.currentTrack, before);
        EXPECT_TRUE(game.music.CurrentFile() == game.currentTrack &&
                    game.musicLength == game.music.GetLength());
        seen.insert(game.currentTrack);
    }
    EXPECT_EQ(seen.size(), 3u);

    const char* before = game.currentTrack;
    game.music.FinishForTest();
    game.musicLength = 0; // no track was started: position and length both stand at 0
    resetGameRand();
    rotateMusic();
    EXPECT_EQ(game.currentTrack, before);
    EXPECT_EQ(gameRand(), 41);
}

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
