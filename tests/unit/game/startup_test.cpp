#include <SDL.h>
#include <gtest/gtest.h>

#include "game/startup.h"
#include "record/game_state.h"
#include "tests/support/test_game.h"

namespace {
// As the frame pass after the first shown frame does.
void finishSoundStart() {
    ASSERT_TRUE(finishStartUp());
}
} // namespace

TEST(Startup, ConfigSetsWindowAndFlagsAndOnlyMusicOneStartsMusic) {
    ScratchDirectory dir;
    dir.linkData();
    writeWholeFile("config.txt", "1024 768 32 2 1 0");
    resetGameForTest();
    FieldsOfStartUp fields;
    const std::string trackBefore = game.music.CurrentFile();
    ASSERT_TRUE(initGame());
    EXPECT_EQ(game.screenWidth, 1024);
    EXPECT_EQ(game.screenHeight, 768);
    EXPECT_FALSE(game.internetScoresEnabled);
    EXPECT_EQ(game.bubbleCount, 200);
    EXPECT_EQ(game.spikeCount, 150);
    finishSoundStart();
    EXPECT_EQ(game.music.CurrentFile(), trackBefore);
}

// The command line's choices hold over config.txt's for one run.
TEST(Startup, TheFirstTrackStartsAfterTheFirstFramesUnlessTheCommandLineSaysNo) {
    ScratchDirectory dir;
    dir.linkData();
    const struct {
        RunOptions options;
        const char *config, *track;
        bool fullScreen;
    } cases[] = {{{RunOptions::Window::fullScreen, false, false, {}}, "1 1", "data/surr.mp3", true},
                 {{RunOptions::Window::window, true, false, {}}, "1 0", "", false},
                 {{RunOptions::Window::asConfigured, false, true, {}}, "1 0", "", true}};
    for (const auto& c : cases) {
        writeWholeFile("config.txt", std::string("800 600 32 ") + c.config + " 0");
        resetGameForTest();
        FieldsOfStartUp fields;
        game.music.PlayFile(nullptr);
        ASSERT_TRUE(initGame(c.options));
        EXPECT_EQ(game.music.CurrentFile(), "");
        finishSoundStart();
        EXPECT_EQ(std::make_pair(game.music.CurrentFile(), TSLIsFullScreen()),
                  std::make_pair(std::string(c.track), c.fullScreen));
    }
}
