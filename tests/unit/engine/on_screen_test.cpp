// Real drawing, read back from the frame buffer. Needs an X display with OpenGL, so it runs
// only from tests/e2e/engine_render_test.sh (under Xvfb), which sets ORBELLE_ENGINE_ON_SCREEN.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <fstream>

#include "engine/tessel.h"

// One letter per logical point (x, y pairs) of the 1024 x 768 window, 1.28 pixels per unit:
// r red, g green, k black, h the red of a half-tinted red, m a mix of red and black, ? other.
static std::string coloursAt(std::initializer_list<float> points) {
    std::string colours;
    for (const float* v = points.begin(); v != points.end(); v += 2) {
        unsigned char p[4] = {};
        glReadPixels(int(v[0] * 1.28), int(v[1] * 1.28), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        char red = p[0] > 240 ? 'r' : p[0] < 15 ? 'k' : '?';
        red = p[0] > 20 && p[0] < 110 ? 'm' : std::abs(p[0] - 128) <= 12 ? 'h' : red;
        colours += p[1] > 240 && p[0] < 15 ? 'g' : p[1] < 15 ? red : '?';
    }
    return colours;
}

// A square 32-bit TGA (BGRA, rows from the top): the left half opaque red, the right half
// fully transparent or opaque green.
static TSLMaterial* halfRedMaterial(TSLMaterialLibrary& library, int size, bool opaque = false) {
    std::string tga{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, char(size), 0, char(size), 0, 32, 0x28};
    const char* right = opaque ? "\0\xff\0\xff" : "\0\0\xff\0";
    for (int i = 0; i < size * size; ++i)
        tga.append(i % size < size / 2 ? "\0\0\xff\xff" : right, 4);
    const char* const path = "/tmp/orbelle-engine-half-red.tga";
    std::ofstream(path, std::ios::binary) << tga;
    TSLMaterial* red = library.NewMaterial("Red", 1, 1, 1, 1, path);
    std::remove(path);
    return red;
}

static void draw(TSLMaterial* material, float x, float y, float width, float height) {
    TSLPolygon sprite(x, y, 0, width, height, 0);
    sprite.material = material;
    sprite.Render();
}

struct OnScreen : testing::Test {
    void SetUp() override {
        if (!std::getenv("ORBELLE_ENGINE_ON_SCREEN"))
            GTEST_SKIP() << "needs a display; run tests/e2e/engine_render_test.sh";
        // Not 800 x 600: the logical field must fill any window. Opened once, by the first test.
        static const bool windowReady = (TSLSetHeadless(false), TSLInit(1024, 768, 32, true));
        ASSERT_TRUE(windowReady) << SDL_GetError();
        TSLOrtho2d(0, 800, 0, 600);
        TSLSetLayeredDrawing(true); // drawn at once, so read back before the frame ends
        TSLBeginRender();
    }
    void TearDown() override { TSLEndRender(); }
    TSLMaterialLibrary library;
};

// Blended at the right, alpha-tested at the left; the transparent half leaves the black screen
// either way.
TEST_F(OnScreen, SpritesDrawTheirTextureScaledToTheWindowWithOrWithoutAlphaTest) {
    TSLMaterial* red = halfRedMaterial(library, 4);
    draw(red, 700, 500, 80, 80);
    red->renderMode = 3008; // alpha test
    draw(red, 100, 500, 80, 80);
    EXPECT_EQ(coloursAt({675, 500, 725, 500, 75, 500, 125, 500}), "rkrk");
}

// 'I' has its stem in dot column 2 over rows 1 to 5 and its bar along row 1; each dot row is
// two units tall. Beside the stem and the descender row of a capital stay empty.
TEST_F(OnScreen, TextIsDrawnInTheFontColourAtItsBottomLeftCorner) {
    TSLText font;
    font.MakeRasterFont();
    font.SetDiffuseColor(0, 1, 0, 1);
    font.PrintText(300, 300, "I");
    EXPECT_EQ(coloursAt({303.5f, 307, 302.5f, 302.5f, 301.5f, 307, 303.5f, 300.5f}), "ggkk");
}

// A full-window sprite, red left of x = 400, under a half-red blur: the half-size capture pairs
// window pixels 510-511 and 512-513, so magnifying it mixes a quarter of black into pixel 511.
TEST_F(OnScreen, BlurCoversTheSceneTintedAndSoftensEdges) {
    TSLMaterial* red = halfRedMaterial(library, 64);
    red->renderMode = 3008;
    draw(red, 400, 300, 800, 600);
    EXPECT_EQ(coloursAt({1, 1, 300, 599}), "rr");
    TSLBlur blur(400, 300, 0, 800, 600, 0, 2048);
    blur.material->SetDiffuseColor(0.5f, 1, 1, 1);
    blur.Render(1024, 768);
    EXPECT_EQ(coloursAt({200, 300, 600, 300, 399.5f, 300}), "hkm");
}

// An opaque picture over the whole view stands in for the frame's clear; anything less must not.
TEST_F(OnScreen, FramesStartClearedUnlessAnOpaquePictureCoversTheView) {
    TSLMaterial* picture = halfRedMaterial(library, 64, true);
    for (int frame = 0; frame < 3; ++frame) {
        draw(picture, 400, 300, frame < 2 ? 800 : 40, frame < 2 ? 600 : 40);
        EXPECT_EQ(coloursAt({200, 300, 600, 300}), frame < 2 ? "rg" : "kk") << frame;
        TSLEndRender();
        TSLBeginRender();
    }
}
