// Held-key queries through the test seam, with and without SDL video.
#include <gtest/gtest.h>

#include <SDL.h>

#include "engine/tessel.h"

TEST(Keyhandler, TestKeysAreHeldUntilReleasedOrCleared) {
    TSLKeyhandler keys;
    TSLKeyhandler::ClearTestKeys();
    EXPECT_FALSE(keys.IsKeydown(SDLK_UP));

    TSLKeyhandler::SetTestKey(SDLK_UP, true);
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, true);
    EXPECT_TRUE(keys.IsKeydown(SDLK_UP));
    EXPECT_TRUE(keys.IsKeydown(27));
    EXPECT_FALSE(keys.IsKeydown(SDLK_DOWN));
    TSLKeyhandler other; // the seam is shared by every handler
    EXPECT_TRUE(other.IsKeydown(SDLK_UP));

    TSLKeyhandler::SetTestKey(SDLK_UP, false);
    EXPECT_FALSE(keys.IsKeydown(SDLK_UP));
    EXPECT_TRUE(keys.IsKeydown(SDLK_ESCAPE));
    TSLKeyhandler::ClearTestKeys();
    EXPECT_FALSE(keys.IsKeydown(SDLK_ESCAPE));
}

TEST(Keyhandler, SymbolsOutsideSdlsTableAreNeverHeld) {
    TSLKeyhandler keys;
    TSLKeyhandler::ClearTestKeys();
    const bool videoWasUp = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    for (int round = 0; round < 2; ++round) {
        EXPECT_FALSE(keys.IsKeydown(-1));
        EXPECT_FALSE(keys.IsKeydown(SDLK_LAST));
        EXPECT_FALSE(keys.IsKeydown(1 << 20));
        EXPECT_FALSE(keys.IsKeydown(SDLK_LEFT)); // nothing pressed on the dummy driver
        if (!videoWasUp) {
            ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        }
    }
    TSLKeyhandler::SetTestKey(SDLK_LAST + 5, true);
    EXPECT_TRUE(keys.IsKeydown(SDLK_LAST + 5));
    TSLKeyhandler::ClearTestKeys();
    if (!videoWasUp)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
