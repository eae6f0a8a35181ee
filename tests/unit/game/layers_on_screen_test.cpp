// The game's frames as the window shows them, drawn again only where they changed, against the
// same frames drawn whole, layer by layer, pixel for pixel. Needs an X display with OpenGL, so
// it runs only from tests/e2e/engine_render_test.sh (under Xvfb).
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break its headers.
#include <GL/glx.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <vector>

#include "engine/engine_state.h"
#include "engine/frame/frame.h"
#include "field/events.h"
#include "field/fields.h"
#include "game/frame_loop.h"
#include "record/game_state.h"
#include "tests/support/test_game.h"

static std::vector<unsigned char> backBuffer() {
    std::vector<unsigned char> pixels(800 * 600 * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// What the X server shows in the window, in the back buffer's layout (rows from the bottom).
static std::vector<unsigned char> windowPicture() {
    Display* display = glXGetCurrentDisplay();
    XImage* image = XGetImage(display, glXGetCurrentDrawable(), 0, 0, 800, 600, AllPlanes, ZPixmap);
    std::vector<unsigned char> pixels(800 * 600 * 4, 255);
    for (int y = 0; y < 600 && image; ++y)
        for (int x = 0; x < 800; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            unsigned char* rgb = &pixels[((599 - y) * 800 + x) * 4];
            rgb[0] = (pixel >> 16) & 255, rgb[1] = (pixel >> 8) & 255, rgb[2] = pixel & 255;
        }
    if (image)
        XDestroyImage(image);
    return pixels;
}

static bool sameColours(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (i % 4 != 3 && a[i] != b[i])
            return false;
    return true;
}

// Puts the back buffer back as the game left it, so the next frame is drawn over it.
static void restoreBackBuffer(const std::vector<unsigned char>& pixels) {
    using WindowPos = void (*)(GLint, GLint);
    static const auto windowPos = WindowPos(SDL_GL_GetProcAddress("glWindowPos2i"));
    ASSERT_NE(windowPos, nullptr);
    for (GLenum off : {GL_BLEND, GL_TEXTURE_2D, GL_ALPHA_TEST, GL_SCISSOR_TEST})
        glDisable(off);
    windowPos(0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

static std::vector<unsigned char> layeredPicture() {
    tslEngine().layeredDrawing = true;
    TSLBeginRender();
    drawScene();
    std::vector<unsigned char> pixels = backBuffer();
    tslEngine().layeredDrawing = false;
    return pixels;
}

// Menu frames with the selection moving, then a round steered in circles through three events
// (the overlay, an earthquake shaking it) and the score changing, ended by a spike.
TEST(LayersOnScreen, EveryFrameShownMatchesTheLayeredDrawing) {
    if (!std::getenv("ORBELLE_ENGINE_ON_SCREEN"))
        GTEST_SKIP() << "needs a display; run tests/e2e/engine_render_test.sh";
    resetGameWithFieldsForTest();
    ASSERT_TRUE(game.background.material && game.background.material->texture);
    TSLBlur overlay(399, 299, 0, 800, 600, 0, 2048);
    overlay.overlayMaterial.SetDiffuseColor(0.8f, 0.85f, 0.9f, 0.8f);
    game.blurOverlay = &overlay;
    game.screenWidth = 800; // what start-up sets; without it the overlay draws nothing
    game.screenHeight = 600;
    const int steer[4] = {SDLK_LEFT, SDLK_UP, SDLK_RIGHT, SDLK_DOWN};
    uint32_t tick = 1000;
    game.lastTick = tick;
    int differing = 0, eventFrames = 0, menuFrames = 0, partialFrames = 0, partialEvents = 0;
    for (int frame = 0; frame < 360 && differing <= 5; ++frame) {
        if (frame < 120 && frame % 20 == 10)
            pushTestEvent(SDL_KEYDOWN, frame < 70 ? SDLK_DOWN : SDLK_UP);
        if (frame == 120)
            resetRound();
        if (frame >= 120 && frame % 60 == 0 && frame < 300) {
            endEvent();
            startEvent();
        }
        if (frame == 340)
            game.spikes[0]->x = game.player.x, game.spikes[0]->y = game.player.y;
        TSLKeyhandler::ClearTestKeys();
        TSLKeyhandler::SetTestKey(steer[frame / 25 % 4], true);
        int shake[2] = {game.quakeOffsetX, game.quakeOffsetY};
        ASSERT_TRUE(runFramePass(tick += 16));
        // The frame after the first one shown goes through the later drawing states.
        EXPECT_EQ(tslEngine().statesWarmed, frame >= 1) << frame;
        eventFrames += game.blurVisible;
        menuFrames += game.inMenu;
        partialFrames += tslRedrawnShare() < 0.5;
        partialEvents += game.blurVisible && tslRedrawnShare() < 0.5;
        const std::vector<unsigned char> kept = backBuffer();
        // The earthquake's next shake is drawn at the end of the pass; this frame showed the last.
        std::swap(game.quakeOffsetX, shake[0]), std::swap(game.quakeOffsetY, shake[1]);
        if (!sameColours(windowPicture(), layeredPicture()))
            ADD_FAILURE() << "frame " << frame << " differs" << (++differing > 5 ? "; stop" : "");
        std::swap(game.quakeOffsetX, shake[0]), std::swap(game.quakeOffsetY, shake[1]);
        restoreBackBuffer(kept);
    }
    game.blurOverlay = nullptr;
    TSLKeyhandler::ClearTestKeys();
    EXPECT_GE(menuFrames, 120);
    EXPECT_GE(eventFrames, 60);
    EXPECT_GE(partialFrames, 150);
    EXPECT_GE(partialEvents, 60);
    EXPECT_TRUE(game.gameOver);
}
