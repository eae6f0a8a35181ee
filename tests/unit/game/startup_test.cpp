#include <SDL.h>
#include <gtest/gtest.h>

#include "game/startup.h"
#include "record/game_state.h"
#include "tests/support/test_game.h"

// config.txt sets the window and the internet scores; the first track starts after the first
// frame, only when the music setting is exactly 1, and the command line's choices for one run
// hold over config.txt's.
TEST(Startup, ConfigAndCommandLineChooseWindowAndMusic) {
    const ScratchDirectory dir(true);
    using Window = RunOptions::Window;
    const struct {
        RunOptions options;
        const char *config, *track;
        bool fullScreen;
    } cases[] = {
        {{Window::asConfigured, false, false, {}}, "1024 768 32 2 1 0", "", false},
        {{Window::fullScreen, false, false, {}}, "800 600 32 1 1 1", "data/surr.mp3", true},
        {{Window::window, true, false, {}}, "640 480 32 1 0 1", "", false},
        {{Window::asConfigured, false, true, {}}, "800 600 32 1 0 0", "", true}};
    for (const auto& c : cases) {
        writeWholeFile("config.txt", c.config);
        resetGameForTest();
        FieldsOfStartUp fields;
        game.music.PlayFile(nullptr);
        ASSERT_TRUE(initGame(c.options));
        int width = 0, height = 0, internet = 0;
        std::sscanf(c.config, "%d %d %*d %*d %*d %d", &width, &height, &internet);
        EXPECT_EQ(std::make_tuple(game.screenWidth, game.screenHeight, game.internetScoresEnabled,
                                  game.bubbleCount, game.spikeCount, game.music.CurrentFile()),
                  std::make_tuple(width, height, internet == 1, 200, 150, std::string()))
            << c.config;
        ASSERT_TRUE(finishStartUp());
        EXPECT_EQ(game.music.CurrentFile(), c.track) << c.config;
        EXPECT_EQ(TSLIsFullScreen(), c.fullScreen) << c.config;
    }
}

// A window the video system refuses (here it opens none) gets one more try with the default
// size, depth and window flag, said on stderr, unless those were the settings refused.
TEST(Startup, ARefusedWindowIsTriedOnceMoreWithTheDefaults) {
    const ScratchDirectory dir(true);
    const std::pair<const char*, bool> cases[] = {{"1024 600 32 1 1 1", true},
                                                  {"800 768 32 1 1 1", true},
                                                  {"800 600 16 1 1 1", true},
                                                  {"800 600 32 1 0 1", true},
                                                  {"800 600 32 0 1 0", false}};
    for (const auto& [config, retried] : cases) {
        writeWholeFile("config.txt", config);
        resetGameForTest();
        FieldsOfStartUp fields;
        TSLSetHeadless(false);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(initGame()) << config;
        const std::string said = testing::internal::GetCapturedStderr();
        TSLSetHeadless(true);
        EXPECT_EQ(said.find("as config.txt asks") != std::string::npos, retried) << said;
        EXPECT_EQ(said.find("trying 800x600, depth 32, windowed") != std::string::npos, retried)
            << said;
    }
}
