#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "game/config.h"
#include "tests/support/test_game.h"

namespace {
std::string load(const char* path) {
    GameConfig c = loadConfig(path);
    char text[128];
    std::snprintf(text, sizeof text, "%d %d %d %d %d %d", c.screenWidth, c.screenHeight,
                  c.colourDepth, c.musicEnabled, c.initFlag, c.internetScoresEnabled);
    return text;
}
} // namespace

TEST(Config, MissingFileIsWrittenExactlyAPresentOneNeverRewrittenAndBadValuesFallBackEach) {
    ScratchDirectory dir;
    EXPECT_EQ(load("config.txt"), "800 600 32 1 1 1");
    EXPECT_EQ(readWholeFile("config.txt"), "800\n600\n32\n1\n1\n1");
    // Nowhere to write it: the defaults all the same.
    EXPECT_EQ(load("no-such-directory/config.txt"), "800 600 32 1 1 1");
    const std::string mine = "1024 768\n16\n2 0\n\n0\n";
    writeWholeFile("config.txt", mine);
    EXPECT_EQ(load("config.txt"), "1024 768 16 2 0 0");
    EXPECT_EQ(readWholeFile("config.txt"), mine);
    // Not a number, out of range, trailing junk, any music number, a flag of 2, a missing one.
    writeWholeFile("config.txt", "abc 0 24x -7 2");
    EXPECT_EQ(load("config.txt"), "800 600 32 -7 1 1");
    EXPECT_EQ(readWholeFile("config.txt"), "abc 0 24x -7 2");
    writeWholeFile("config.txt", "99999999999999999999 100000 640 1 0 " + std::string(5000, '1'));
    EXPECT_EQ(load("config.txt"), "800 600 32 1 0 1");
}

TEST(Config, EachValueAtTheEdgesOfItsRange) {
    ScratchDirectory dir;
    const std::pair<std::string, const char*> cases[] = {
        {"16384 16384 64 -2147483648 0 0", "16384 16384 64 -2147483648 0 0"},
        {"16385 16385 65 2147483648 1 1", "800 600 32 1 1 1"},
        {"1 1 1 2147483647 2 -1", "1 1 1 2147483647 1 1"},
        // A token longer than any number is refused whole, not read cut short.
        {"640 480 16 -" + std::string(38, '0') + "7", "640 480 16 1 1 1"}};
    for (const auto& [text, expected] : cases) {
        writeWholeFile("config.txt", text);
        EXPECT_EQ(load("config.txt"), expected) << text;
    }
}
