#include <gtest/gtest.h>

#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/startup.h"
#include "tests/support/test_game.h"
#include "tests/unit/game/shell_test_support.h"

TEST(Startup, MaterialsCarryTheirColoursAndReachTheirSprites) {
    resetGameForTest();
    struct Expected {
        const char* name;
        float red, green, blue;
    };
    const Expected table[] = {{backgroundMaterialName, 0.7f, 0.7f, 0.7f},
                              {bubbleMaterialName, 0.8f, 0.8f, 0.8f},
                              {playerBubbleMaterialName, 0.8f, 0.8f, 0.8f},
                              {bonusBubbleMaterialName, 100, 0, 0},
                              {logoMaterialName, 0.3f, 0.4f, 0.5f},
                              {flareMaterialName, 0.3f, 0.3f, 0.3f},
                              {spikeMaterialName, 1, 1, 1},
                              {multiplyBubbleMaterialName, 0.09f, 0.9f, 0.09f}};
    for (const Expected& e : table) {
        TSLMaterial* m = game.materials.GetMaterial(e.name);
        ASSERT_NE(m, nullptr) << e.name;
        EXPECT_EQ(m->diffuse[0], e.red) << e.name;
        EXPECT_EQ(m->diffuse[1], e.green) << e.name;
        EXPECT_EQ(m->diffuse[2], e.blue) << e.name;
        EXPECT_EQ(m->diffuse[3], 1) << e.name;
    }
    // Multiplier bubbles are recognised by the very name pointer.
    EXPECT_EQ(game.materials.GetMaterial("MultiplyBubble")->name, multiplyBubbleMaterialName);
    EXPECT_EQ(game.background.material, game.materials.GetMaterial("Background"));
    EXPECT_EQ(game.player.material, game.materials.GetMaterial("PlayerBubble"));
    EXPECT_EQ(game.logo.material, game.materials.GetMaterial("Orbelle"));
    EXPECT_EQ(game.flare.material, game.materials.GetMaterial("Flare"));
}

TEST(Startup, WindowSizeAndFlagsComeFromConfigAndOnlyMusicOneStartsMusic) {
    ScratchDirectory dir;
    dir.linkData();
    writeWholeFile("config.txt", "1024 768 32 2 1 0");
    resetGameForTest();
    const std::string trackBefore = game.music.CurrentFile();
    ASSERT_TRUE(initGame());
    EXPECT_EQ(game.screenWidth, 1024);
    EXPECT_EQ(game.screenHeight, 768);
    EXPECT_FALSE(game.internetScoresEnabled);
    EXPECT_EQ(game.music.CurrentFile(), trackBefore);
    EXPECT_EQ(game.musicLength, game.music.GetLength());
    EXPECT_FLOAT_EQ(game.player.radius, 4.5454545f);
    EXPECT_STREQ(game.scoreText, "Score:      0");
    EXPECT_EQ(game.bubbleCount, 200);
    EXPECT_EQ(game.spikeCount, 150);
    EXPECT_EQ(readWholeFile("config.txt"), "1024 768 32 2 1 0");
}

TEST(Startup, DefaultConfigStartsTheFirstTrack) {
    ScratchDirectory dir;
    dir.linkData();
    resetGameForTest();
    ASSERT_TRUE(initGame());
    EXPECT_EQ(readWholeFile("config.txt"), "800\n600\n32\n1\n1\n1");
    EXPECT_EQ(game.screenWidth, 800);
    EXPECT_TRUE(game.internetScoresEnabled);
    EXPECT_EQ(game.music.CurrentFile(), musicTracks[0]);
    EXPECT_GT(game.musicLength, 0);
    EXPECT_EQ(game.musicLength, game.music.GetLength());
}
