#include <gtest/gtest.h>

#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/startup.h"
#include "tests/support/test_game.h"
#include "tests/unit/game/shell_test_support.h"

namespace {
// initGame makes fresh fields and frees the sprites it finds; the shared test fields must not
// be among them.
void startFromScratch() {
    resetGameForTest();
    for (TSLPolygon*& bubble : game.bubbles)
        bubble = nullptr;
    for (TSLPolygon*& spike : game.spikes)
        spike = nullptr;
}
} // namespace

TEST(Startup, BonusAndMultiplierMaterialsAreRecognisableAndFixedSpritesGetTheirs) {
    resetGameForTest();
    TSLMaterial* bonus = game.materials.GetMaterial("BonusBubble");
    ASSERT_NE(bonus, nullptr);
    EXPECT_EQ(bonus->diffuse[0], 100);
    TSLMaterial* multiply = game.materials.GetMaterial("MultiplyBubble");
    ASSERT_NE(multiply, nullptr);
    EXPECT_EQ(multiply->name, multiplyBubbleMaterialName); // compared by pointer in play
    EXPECT_EQ(game.background.material, game.materials.GetMaterial("Background"));
    EXPECT_EQ(game.player.material, game.materials.GetMaterial("PlayerBubble"));
    EXPECT_EQ(game.logo.material, game.materials.GetMaterial("Orbelle"));
    EXPECT_EQ(game.flare.material, game.materials.GetMaterial("Flare"));
}

TEST(Startup, WindowSizeAndFlagsComeFromConfigAndOnlyMusicOneStartsMusic) {
    ScratchDirectory dir;
    dir.linkData();
    writeWholeFile("config.txt", "1024 768 32 2 1 0");
    startFromScratch();
    const std::string trackBefore = game.music.CurrentFile();
    ASSERT_TRUE(initGame());
    EXPECT_EQ(game.screenWidth, 1024);
    EXPECT_EQ(game.screenHeight, 768);
    EXPECT_FALSE(game.internetScoresEnabled);
    EXPECT_EQ(game.music.CurrentFile(), trackBefore);
    EXPECT_FLOAT_EQ(game.player.radius, 4.5454545f);
    EXPECT_STREQ(game.scoreText, "Score:      0");
    EXPECT_EQ(game.bubbleCount, 200);
    EXPECT_EQ(game.spikeCount, 150);
}

TEST(Startup, DefaultConfigStartsTheFirstTrack) {
    ScratchDirectory dir;
    dir.linkData();
    startFromScratch();
    ASSERT_TRUE(initGame());
    EXPECT_TRUE(game.internetScoresEnabled);
    EXPECT_EQ(game.music.CurrentFile(), musicTracks[0]);
    EXPECT_GT(game.musicLength, 0);
    EXPECT_EQ(game.musicLength, game.music.GetLength());
}
