// The frame drawn with its shortcuts (static layers copied, the logo drawn in bands) against the
// same frame drawn layer by layer, read back pixel for pixel. Needs an X display with OpenGL,
// so it runs only from tests/e2e/engine_render_test.sh (under Xvfb).
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "field/events.h"
#include "field/fields.h"
#include "game/frame_loop.h"
#include "record/game_state.h"
#include "tests/support/test_game.h"

static std::vector<unsigned char> pictureOfFrame(bool layered) {
    TSLSetLayeredDrawing(layered);
    TSLBeginRender();
    drawScene();
    std::vector<unsigned char> pixels(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    TSLEndRender();
    TSLSetLayeredDrawing(false);
    return pixels;
}

// Menu frames, then a round steered in circles through three events (the overlay over the
// copied layers, an earthquake shaking it) until it may end. Every frame is also drawn the
// fast way in the game's own pass, so the picture is reused across frames as in play.
TEST(LayersOnScreen, EveryFrameOfMenuAndPlayMatchesTheLayeredDrawing) {
    if (!std::getenv("ORBELLE_ENGINE_ON_SCREEN"))
        GTEST_SKIP() << "needs a display; run tests/e2e/engine_render_test.sh";
    resetGameForTest();
    ensureFieldsForTest();
    ASSERT_TRUE(game.background.material && game.background.material->texture);
    TSLBlur overlay(399, 299, 0, 800, 600, 0, 2048);
    overlay.overlayMaterial.SetDiffuseColor(0.8f, 0.85f, 0.9f, 0.8f);
    game.blurOverlay = &overlay;
    const int steer[4] = {SDLK_LEFT, SDLK_UP, SDLK_RIGHT, SDLK_DOWN};
    uint32_t tick = 1000;
    game.lastTick = tick;
    int frame = 0, differing = 0, eventFrames = 0, menuFrames = 0;
    for (; frame < 360; ++frame) {
        if (frame == 120)
            resetRound();
        if (frame >= 120 && frame % 60 == 0 && frame < 300) {
            endEvent();
            startEvent();
        }
        TSLKeyhandler::ClearTestKeys();
        TSLKeyhandler::SetTestKey(steer[frame / 25 % 4], true);
        ASSERT_TRUE(runFramePass(tick += 16));
        eventFrames += game.blurVisible;
        menuFrames += game.inMenu;
        if (pictureOfFrame(true) != pictureOfFrame(false))
            ADD_FAILURE() << "frame " << frame << " differs" << (++differing > 5 ? "; stop" : "");
        if (differing > 5)
            break;
    }
    game.blurOverlay = nullptr;
    TSLKeyhandler::ClearTestKeys();
    EXPECT_GE(menuFrames, 120);
    EXPECT_GE(eventFrames, 60);
}
