#include <gtest/gtest.h>

#include "game/config.h"
#include "tests/unit/game/shell_test_support.h"

TEST(Config, MissingFileIsWrittenWithDefaultsAndRead) {
    ScratchDirectory dir;
    GameConfig config = loadConfig("config.txt");
    EXPECT_EQ(readWholeFile("config.txt"), "800\n600\n32\n1\n1\n1");
    EXPECT_EQ(config.screenWidth, 800);
    EXPECT_EQ(config.screenHeight, 600);
    EXPECT_EQ(config.colourDepth, 32);
    EXPECT_EQ(config.musicEnabled, 1);
    EXPECT_TRUE(config.initFlag);
    EXPECT_TRUE(config.internetScoresEnabled);
}

TEST(Config, ExistingFileIsReadAndNeverRewritten) {
    ScratchDirectory dir;
    const std::string mine = "1024 768\n16\n2 0\n\n0\n";
    writeWholeFile("config.txt", mine);
    GameConfig config = loadConfig("config.txt");
    EXPECT_EQ(readWholeFile("config.txt"), mine);
    EXPECT_EQ(config.screenWidth, 1024);
    EXPECT_EQ(config.screenHeight, 768);
    EXPECT_EQ(config.colourDepth, 16);
    EXPECT_EQ(config.musicEnabled, 2); // kept as it is; only 1 starts music
    EXPECT_FALSE(config.initFlag);
    EXPECT_FALSE(config.internetScoresEnabled);
}

TEST(Config, EachBadValueFallsBackToItsOwnDefault) {
    ScratchDirectory dir;
    // Not a number, out of range, trailing junk, an out-of-range flag, then too few values.
    writeWholeFile("config.txt", "abc 0 24x -7 2");
    GameConfig config = loadConfig("config.txt");
    EXPECT_EQ(config.screenWidth, 800);
    EXPECT_EQ(config.screenHeight, 600);
    EXPECT_EQ(config.colourDepth, 32);
    EXPECT_EQ(config.musicEnabled, -7);
    EXPECT_TRUE(config.initFlag);
    EXPECT_TRUE(config.internetScoresEnabled);
    EXPECT_EQ(readWholeFile("config.txt"), "abc 0 24x -7 2");

    writeWholeFile("config.txt", "99999999999999999999 100000 640 1 0 " + std::string(5000, '1'));
    config = loadConfig("config.txt");
    EXPECT_EQ(config.screenWidth, 800);
    EXPECT_EQ(config.screenHeight, 600);
    EXPECT_EQ(config.colourDepth, 32);
    EXPECT_FALSE(config.initFlag);
    EXPECT_TRUE(config.internetScoresEnabled);
}

TEST(Config, UncreatableFileGivesDefaults) {
    ScratchDirectory dir;
    GameConfig config = loadConfig("no-such-directory/config.txt");
    EXPECT_EQ(config.screenWidth, 800);
    EXPECT_EQ(config.musicEnabled, 1);
    EXPECT_TRUE(config.internetScoresEnabled);
}
