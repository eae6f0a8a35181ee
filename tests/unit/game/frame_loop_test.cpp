#include <SDL.h>
#include <gtest/gtest.h>

#include <set>

#include "game/frame_loop.h"
#include "game/frame_texts.h"
#include "game/game_state.h"
#include "game/random.h"
#include "game/ticks.h"
#include "tests/support/test_game.h"
#include "tests/unit/game/shell_test_support.h"

namespace {
// Fields in place, no texts yet, a fresh generator.
void resetWithFields() {
    resetGameForTest();
    ensureFieldsForTest();
    game.lastTick = 1000;
    TSLClearPrintedTexts();
}

// Without fields the only random draws of a frame are the shake offsets.
void resetWithoutFields() {
    resetGameForTest();
    game.bubbleCount = 0;
    game.spikeCount = 0;
    game.lastTick = 1000;
}
} // namespace

TEST(FramePass, UnchangedTickDoesNothingAtAll) {
    resetWithFields();
    game.frameMillis = 16;
    float firstBubbleY = game.bubbles[0]->y;
    float firstSpikeY = game.spikes[0]->y;
    SDL_Event quit;
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);

    EXPECT_FALSE(runFramePass(1000));

    SDL_Event queued;
    EXPECT_EQ(SDL_PeepEvents(&queued, 1, SDL_PEEKEVENT, SDL_ALLEVENTS), 1);
    EXPECT_EQ(game.running, 1);
    EXPECT_EQ(game.frameMillis, 16u);
    EXPECT_EQ(game.bubbles[0]->y, firstBubbleY);
    EXPECT_EQ(game.spikes[0]->y, firstSpikeY);
    EXPECT_TRUE(TSLPrintedTexts().empty());
    EXPECT_EQ(gameRand(), 41); // nothing drawn from the generator
}

TEST(FramePass, ElapsedTimeSurvivesTickWrapAround) {
    resetWithFields();
    game.lastTick = 0xFFFFFFF0u;
    EXPECT_TRUE(runFramePass(0x10));
    EXPECT_EQ(game.frameMillis, 0x20u);
    EXPECT_EQ(game.lastTick, 0x10u);
}

TEST(FramePass, BottomLineShowsWebAddressOnTheMenuAndScoreInPlay) {
    resetWithFields();
    std::snprintf(game.scoreText, sizeof game.scoreText, "Score:%7.0f", 0.0);
    ASSERT_TRUE(runFramePass(1016));
    EXPECT_EQ(textAt(5, 2), webAddressText);
    EXPECT_FALSE(wasPrinted(game.scoreText));
    EXPECT_FALSE(wasPrinted(bonusLabel));
    int menuLines = 0;
    for (const TSLPrintedText& t : TSLPrintedTexts())
        menuLines += t.x == 150 && t.y >= 240 && t.y <= 300;
    EXPECT_EQ(menuLines, 4);

    game.inMenu = false;
    ASSERT_TRUE(runFramePass(1031));
    EXPECT_EQ(textAt(5, 2), "Score:      0");
    EXPECT_EQ(textAt(200, 2), "Bonus:");
    EXPECT_EQ(textAt(200, 20), "Score multiplier: 1.0");
    EXPECT_EQ(textAt(270, 2), ""); // no event running
    EXPECT_FALSE(wasPrinted(webAddressText));
}

TEST(FramePass, ScreensDrawTheirTextsByTheFlagsOfTheMoment) {
    resetWithoutFields();
    game.creditsVisible = true;
    ASSERT_TRUE(runFramePass(1016));
    EXPECT_EQ(textAt(270, 260), "Code: Velmo");
    EXPECT_EQ(textAt(270, 240), "Gfx: Velmo");
    EXPECT_EQ(textAt(270, 220), "Sound: Velmo");

    // Name entry after a round: name, prompt and the game-over line together.
    resetWithoutFields();
    game.inMenu = false;
    game.gameOver = game.nameEntryActive = game.namePromptVisible = true;
    std::snprintf(game.playerName, sizeof game.playerName, "Ann");
    ASSERT_TRUE(runFramePass(1016));
    EXPECT_EQ(textAt(390, 280), "Ann");
    EXPECT_EQ(textAt(160, 300), namePromptText);
    EXPECT_EQ(textAt(230, 320), gameOverText);

    // The frame a round ends without a place: the score line still shows, but the score
    // screen puts the menu back, so the game-over line and the prompt do not.
    resetWithoutFields();
    game.inMenu = false;
    game.gameOver = game.scoreScreenVisible = true;
    game.statusMessage = "Downloading...";
    ASSERT_TRUE(runFramePass(1016));
    EXPECT_TRUE(wasPrinted(bonusLabel));
    EXPECT_EQ(textAt(300, 20), uploadHintText);
    EXPECT_EQ(textAt(300, 40), "Downloading...");
    EXPECT_TRUE(game.inMenu);
    EXPECT_FALSE(wasPrinted(gameOverText));
}

TEST(FramePass, ShakeOffsetsAreDrawnEveryFrameAndMoveTheOverlayInAQuake) {
    resetWithoutFields();
    TSLBlur overlay(399, 299, 0, 800, 600, 0, 2048);
    game.blurOverlay = &overlay;

    ASSERT_TRUE(runFramePass(1016));
    EXPECT_EQ(quakeOffsetX, 41 % 5);
    EXPECT_EQ(quakeOffsetY, 18467 % 5);
    EXPECT_EQ(overlay.x, 399); // no quake: left where it was

    game.quakeActive = true;
    ASSERT_TRUE(runFramePass(1031));
    EXPECT_EQ(overlay.x, 400 - 41 % 5); // offsets of the previous frame
    EXPECT_EQ(overlay.y, 300 - 18467 % 5);
    EXPECT_EQ(quakeOffsetX, 6334 % 5);
    EXPECT_EQ(quakeOffsetY, 26500 % 5);
    game.blurOverlay = nullptr;
}

namespace {
uint32_t scriptedTicks[] = {1000, 1000, 1000, 1016, 1031};
int nextScriptedTick = 0;
uint32_t scriptedClock() {
    return scriptedTicks[nextScriptedTick++];
}
} // namespace

TEST(FrameLoop, SkipsStillTicksAndEndsAfterTheFrameThatQuits) {
    resetWithoutFields();
    nextScriptedTick = 0;
    setTickSourceForTest(scriptedClock);
    SDL_Event quit;
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);
    runFrameLoop();
    setTickSourceForTest(nullptr);
    EXPECT_EQ(nextScriptedTick, 4);
    EXPECT_EQ(game.running, 0);
    EXPECT_EQ(game.frameMillis, 16u);
    EXPECT_TRUE(wasPrinted(webAddressText)); // the quitting frame was still drawn
}

namespace {
// Track files are relative to the game's directory.
struct MusicFixture : ::testing::Test {
    void SetUp() override {
        dir.linkData();
        resetGameForTest();
        game.music.PlayFile(musicTracks[0]);
        currentTrack = musicTracks[0];
        game.musicLength = game.music.GetLength();
        ASSERT_GT(game.musicLength, 0);
    }
    ScratchDirectory dir;
};
} // namespace

TEST_F(MusicFixture, EndedTrackIsFollowedByAnotherOne) {
    std::set<std::string> seen;
    for (uint32_t seed = 1; seed < 40; ++seed) {
        resetGameRand(seed);
        const char* before = currentTrack;
        game.music.FinishForTest();
        rotateMusic();
        EXPECT_NE(currentTrack, before);
        EXPECT_EQ(game.music.CurrentFile(), currentTrack);
        EXPECT_EQ(game.musicLength, game.music.GetLength());
        seen.insert(currentTrack);
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(MusicFixture, PlayingOrUnknownLengthDoesNotRotate) {
    rotateMusic(); // still playing
    EXPECT_EQ(currentTrack, musicTracks[0]);
    game.music.FinishForTest();
    game.musicLength = 0; // no track was started: position and length both stand at 0
    rotateMusic();
    EXPECT_EQ(currentTrack, musicTracks[0]);
    EXPECT_EQ(gameRand(), 41);
}
