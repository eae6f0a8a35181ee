// Real drawing, read back from the frame buffer. Needs an X display with OpenGL, so it runs
// only from tests/e2e/engine_render_test.sh (under Xvfb), which sets ORBELLE_ENGINE_ON_SCREEN.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/tessel.h"

namespace {
const int windowWidth = 1024; // not 800 x 600: the logical field must fill any window
const int windowHeight = 768;

struct Pixel {
    int r, g;
};

// The window pixel under the logical point (x, y).
Pixel pixelAt(float x, float y) {
    unsigned char rgba[4] = {};
    glReadPixels(int(std::floor(x * windowWidth / 800)), int(std::floor(y * windowHeight / 600)), 1,
                 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1]};
}

// A square texture, the left half opaque red and the right half fully transparent (or opaque
// green).
TSLMaterial* halfRedMaterial(TSLMaterialLibrary& library, int size, bool opaque = false) {
    const char* const path = "/tmp/orbelle-engine-half-red.tga";
    FILE* f = std::fopen(path, "wb");
    const unsigned char side = static_cast<unsigned char>(size);
    const unsigned char header[18] = {0, 0, 2, 0,    0, 0,    0, 0,  0,
                                      0, 0, 0, side, 0, side, 0, 32, 0x28};
    std::fwrite(header, 1, sizeof header, f);
    for (int i = 0; i < size * size; ++i)
        std::fwrite(i % size < size / 2 ? "\0\0\xff\xff"
                    : opaque            ? "\0\xff\0\xff"
                                        : "\0\0\xff\0",
                    1, 4, f); // BGRA
    std::fclose(f);
    TSLMaterial* red = library.NewMaterial("Red", 1, 1, 1, 1, path);
    std::remove(path);
    return red;
}

class OnScreen : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!std::getenv("ORBELLE_ENGINE_ON_SCREEN"))
            return;
        TSLSetHeadless(false);
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
            SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE);
        windowReady = TSLInit(windowWidth, windowHeight, 32, true);
        TSLOrtho2d(0, 800, 0, 600);
    }
    void SetUp() override {
        if (!std::getenv("ORBELLE_ENGINE_ON_SCREEN"))
            GTEST_SKIP() << "needs a display; run tests/e2e/engine_render_test.sh";
        ASSERT_TRUE(windowReady) << SDL_GetError();
        TSLBeginRender();
    }
    void TearDown() override { TSLEndRender(); }
    static bool windowReady;
    TSLMaterialLibrary library;
};
bool OnScreen::windowReady = false;
} // namespace

TEST_F(OnScreen, SpritesDrawTheirTextureScaledToTheWindowWithOrWithoutAlphaTest) {
    TSLMaterial* red = halfRedMaterial(library, 4);
    ASSERT_NE(red->texture, 0u);
    TSLPolygon sprite(700, 500, 1, 80, 80, 0);
    sprite.material = red;
    sprite.Render();
    EXPECT_GT(pixelAt(675, 500).r, 240);
    EXPECT_LT(pixelAt(675, 500).g, 15);
    EXPECT_LT(pixelAt(725, 500).r, 15); // the transparent half leaves the black screen

    red->renderMode = 3008; // alpha test
    sprite.x = 100;
    sprite.Render();
    EXPECT_GT(pixelAt(75, 500).r, 240);
    EXPECT_LT(pixelAt(125, 500).r, 15);

    // Logical 800 x 600 spans the whole window: a full-size sprite reaches both corners.
    TSLPolygon full(400, 300, 0, 800, 600, 0);
    full.material = red;
    full.Render();
    EXPECT_GT(pixelAt(1, 1).r, 240);
    EXPECT_GT(pixelAt(300, 599).r, 240);
}

TEST_F(OnScreen, TextIsDrawnInTheFontColourAtItsBottomLeftCorner) {
    TSLText font;
    font.MakeRasterFont();
    font.SetDiffuseColor(0, 1, 0, 1);
    font.PrintText(300, 300, "I");
    // 'I' has its stem in dot column 2 over rows 1 to 5; each dot row is two units tall.
    EXPECT_GT(pixelAt(303.5f, 307).g, 240);
    EXPECT_LT(pixelAt(303.5f, 307).r, 15);
    EXPECT_LT(pixelAt(301.5f, 307).g, 15);     // beside the stem
    EXPECT_LT(pixelAt(303.5f, 300.5f).g, 15);  // descender row of a capital is empty
    EXPECT_GT(pixelAt(302.5f, 302.5f).g, 240); // the bottom bar
}

TEST_F(OnScreen, BlurCoversTheSceneTintedAndSoftensEdges) {
    TSLMaterial* red = halfRedMaterial(library, 64);
    red->renderMode = 3008; // a sharp edge down x = 400: red on the left, black on the right
    TSLPolygon half(400, 300, 0, 800, 600, 0);
    half.material = red;
    half.Render();
    TSLBlur blur(400, 300, 0, 800, 600, 0, 2048);
    blur.material->SetDiffuseColor(0.5f, 1, 1, 1);
    blur.Render(windowWidth, windowHeight);
    EXPECT_NEAR(pixelAt(200, 300).r, 128, 12); // fully covered by the tinted copy
    EXPECT_LT(pixelAt(600, 300).r, 15);
    const int edge = pixelAt(398.9f, 300).r; // copies shifted either way mix red and black
    EXPECT_GT(edge, 20);
    EXPECT_LT(edge, 110);
}

// An opaque picture over the whole view stands in for the frame's clear; anything less must not.
TEST_F(OnScreen, FramesStartClearedUnlessAnOpaquePictureCoversTheView) {
    TSLMaterial* picture = halfRedMaterial(library, 64, true);
    TSLPolygon full(400, 300, 0, 800, 600, 0);
    full.material = picture;
    for (int frame = 0; frame < 2; ++frame) { // the second frame draws from the resampled copy
        full.Render();
        EXPECT_GT(pixelAt(200, 300).r, 240);
        EXPECT_GT(pixelAt(600, 300).g, 240);
        EXPECT_LT(pixelAt(600, 300).r, 15);
        TSLEndRender();
        TSLBeginRender();
    }
    TSLPolygon small(100, 100, 0, 40, 40, 0);
    small.material = picture;
    small.Render();
    EXPECT_LT(pixelAt(600, 300).g, 15); // the last frame's picture is gone
}
