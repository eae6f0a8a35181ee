#include <gtest/gtest.h>

#include "game/config.h"
#include "tests/unit/game/shell_test_support.h"

namespace {
void expectConfig(const GameConfig& c, int width, int height, int depth, int music, bool init,
                  bool internet) {
    EXPECT_EQ(c.screenWidth, width);
    EXPECT_EQ(c.screenHeight, height);
    EXPECT_EQ(c.colourDepth, depth);
    EXPECT_EQ(c.musicEnabled, music);
    EXPECT_EQ(c.initFlag, init);
    EXPECT_EQ(c.internetScoresEnabled, internet);
}
} // namespace

TEST(Config, MissingFileIsWrittenWithDefaultsAndRead) {
    ScratchDirectory dir;
    expectConfig(loadConfig("config.txt"), 800, 600, 32, 1, true, true);
    EXPECT_EQ(readWholeFile("config.txt"), "800\n600\n32\n1\n1\n1");
    // Nowhere to write it: the defaults all the same.
    expectConfig(loadConfig("no-such-directory/config.txt"), 800, 600, 32, 1, true, true);
}

TEST(Config, ExistingFileIsReadAndNeverRewritten) {
    ScratchDirectory dir;
    const std::string mine = "1024 768\n16\n2 0\n\n0\n";
    writeWholeFile("config.txt", mine);
    expectConfig(loadConfig("config.txt"), 1024, 768, 16, 2, false, false);
    EXPECT_EQ(readWholeFile("config.txt"), mine);
}

TEST(Config, EachBadValueFallsBackToItsOwnDefault) {
    ScratchDirectory dir;
    // Not a number, out of range, trailing junk, any music number, a flag of 2, a missing one.
    writeWholeFile("config.txt", "abc 0 24x -7 2");
    expectConfig(loadConfig("config.txt"), 800, 600, 32, -7, true, true);
    EXPECT_EQ(readWholeFile("config.txt"), "abc 0 24x -7 2");

    writeWholeFile("config.txt", "99999999999999999999 100000 640 1 0 " + std::string(5000, '1'));
    expectConfig(loadConfig("config.txt"), 800, 600, 32, 1, false, true);
}
