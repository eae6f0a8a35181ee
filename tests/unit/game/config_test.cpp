#include <gtest/gtest.h>

#include "game/config.h"
#include "tests/support/test_game.h"

static std::string load(const char* path) {
    GameConfig c = loadConfig(path);
    char text[128];
    std::snprintf(text, sizeof text, "%d %d %d %d %d %d", c.screenWidth, c.screenHeight,
                  c.colourDepth, c.musicEnabled, c.initFlag, c.internetScoresEnabled);
    return text;
}

TEST(Config, AMissingFileIsWrittenExactly) {
    ScratchDirectory dir;
    EXPECT_EQ(load("config.txt"), "800 600 32 1 1 1");
    EXPECT_EQ(readWholeFile("config.txt"), "800\n600\n32\n1\n1\n1");
    // Nowhere to write it: the defaults all the same.
    EXPECT_EQ(load("no-such-directory/config.txt"), "800 600 32 1 1 1");
}

// A present file is read and never rewritten: each value at the edges of its range, then
// setting lines. The six values stay what they are whatever lines follow; a line that names no
// setting, or gives one a value it cannot take, changes nothing and is kept to be reported.
TEST(Config, APresentFileIsReadValueByValueAndLineByLineAndNeverRewritten) {
    ScratchDirectory dir;
    const std::string six = "640\n480\n16\n0\n0\n0";
    const struct {
        std::string text;
        const char *values, *server;
        bool shake;
        size_t ignored;
    } cases[] = {
        {"1024 768\n16\n2 0\n\n0\n", "1024 768 16 2 0 0", "", true, 0},
        // Not a number, out of range, trailing junk, any music number, a flag of 2, a missing one.
        {"abc 0 24x -7 2", "800 600 32 -7 1 1", "", true, 0},
        {"99999999999999999999 100000 640 1 0 " + std::string(5000, '1'), "800 600 32 1 0 1", "",
         true, 0},
        {"16384 16384 64 -2147483648 0 0", "16384 16384 64 -2147483648 0 0", "", true, 0},
        {"16385 16385 65 2147483648 1 1", "800 600 32 1 1 1", "", true, 0},
        {"1 1 1 2147483647 2 -1", "1 1 1 2147483647 1 1", "", true, 0},
        // A token longer than any number is refused whole, not read cut short.
        {"640 480 16 -" + std::string(38, '0') + "7", "640 480 16 1 1 1", "", true, 0},
        {six + "\nserver a.example\nshake 0\nserver b.example:8080", "640 480 16 0 0 0",
         "b.example:8080", false, 0},
        // After the sixth value its line belongs to no setting.
        {"640 480 16 0 0 0 shake 0\r\n# a note\n\n  server \t [::1]:9 \r\n", "640 480 16 0 0 0",
         "[::1]:9", true, 0},
        {six + "\ncolour blue\nshake 2\nshake\nserver\nserver a b\nserver x:0\nserver x/y\n"
               "server x:65536\n\x01\x7f\n",
         "640 480 16 0 0 0", "", true, 9},
        // A setting where a value belongs is a bad value there; the settings still follow.
        {"800 600 shake 0 1 1\nshake 0", "800 600 32 0 1 1", "", false, 0},
    };
    for (const auto& c : cases) {
        writeWholeFile("config.txt", c.text);
        const GameConfig config = loadConfig("config.txt");
        EXPECT_EQ(std::make_tuple(load("config.txt"), config.scoreServer, config.screenShake,
                                  config.ignoredLines.size()),
                  std::make_tuple(std::string(c.values), std::string(c.server), c.shake, c.ignored))
            << c.text;
        EXPECT_EQ(readWholeFile("config.txt"), c.text);
    }
}
