// Real drawing, read back from the frame buffer. Needs an X display with OpenGL, so it runs
// only from tests/e2e/engine_render_test.sh (under Xvfb), which sets ORBELLE_ENGINE_ON_SCREEN.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "engine/engine_state.h"
#include "engine/raster_font.h"
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
        tslEngine().layeredDrawing = true; // drawn at once, so read back before the frame ends
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

// Every pixel of the block is exactly font green or the black beneath; the green ones counted.
static int wholeDotPixels(int left, int bottom, int width, int height) {
    std::vector<unsigned char> pixels(std::size_t(width) * height * 4);
    glReadPixels(left, bottom, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    int green = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const bool isGreen = pixels[i] == 0 && pixels[i + 1] == 255 && pixels[i + 2] == 0;
        const bool isBlack = pixels[i] == 0 && pixels[i + 1] == 0 && pixels[i + 2] == 0;
        if (!isGreen && !isBlack)
            return -1;
        green += isGreen;
    }
    return green;
}

// Whether the font is filtered smoothly (one pixel per texel) or not (scaled by 1.28), its dots
// stay whole: each dot of 'W' and of 'ü' (Latin-1) is one pixel by two at the window's scale.
TEST_F(OnScreen, TextDotsStayWholeAtAnyScale) {
    int dots = 0;
    for (unsigned char c : {'W', '\xFC'})
        for (int row = 0; row < glyphRows; ++row)
            for (int column = 0; column < glyphColumns; ++column)
                dots += glyphPicture(c)[row][column] == 'X';
    ASSERT_GT(dots, 10);
    const struct {
        float viewWidth, viewHeight, x, y;
        int greenPixels; // -1: not counted
    } cases[] = {{1024, 768, 300, 300, 2 * dots}, {800, 600, 300, 300, -1}};
    for (const auto& c : cases) {
        TSLOrtho2d(0, c.viewWidth, 0, c.viewHeight);
        const float scale = 1024 / c.viewWidth;
        TSLText font;
        font.MakeRasterFont();
        font.SetDiffuseColor(0, 1, 0, 1);
        font.PrintText(c.x, c.y, "W\xFC");
        const int green = wholeDotPixels(int(c.x * scale) - 2, int(c.y * scale) - 2,
                                         int((fontAdvance + fontCellWidth) * scale) + 4,
                                         int(fontCellHeight * scale) + 4);
        EXPECT_GE(green, 2 * dots) << c.viewWidth << " " << c.x;
        if (c.greenPixels >= 0) {
            EXPECT_EQ(green, c.greenPixels) << c.x;
        }
        TSLEndRender();
        TSLBeginRender();
    }
}

// Opaque pictures are drawn blended in the first frame and without blending once the later
// states are warmed; an alpha of one must make that invisible, also for a colour that darkens.
TEST_F(OnScreen, OpaquePicturesLookTheSameWithoutBlending) {
    std::string tga{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 16, 0, 32, 0x28};
    for (int i = 0; i < 16 * 16; ++i)
        tga += {char(i * 7), char(255 - i), char(i * 13 + 5), char(255)};
    const char* const path = "/tmp/orbelle-engine-opaque.tga";
    std::ofstream(path, std::ios::binary) << tga;
    TSLMaterial* picture = library.NewMaterial("Opaque", 0.7f, 0.9f, 0.3f, 1, path);
    std::remove(path);
    ASSERT_TRUE(picture->Opaque());
    std::vector<unsigned char> before(300 * 200 * 4), after(before.size());
    tslEngine().statesWarmed = false;
    draw(picture, 400, 300, 800, 600);
    glReadPixels(100, 100, 300, 200, GL_RGBA, GL_UNSIGNED_BYTE, before.data());
    tslEngine().statesWarmed = true;
    draw(picture, 400, 300, 800, 600);
    glReadPixels(100, 100, 300, 200, GL_RGBA, GL_UNSIGNED_BYTE, after.data());
    EXPECT_TRUE(before == after);
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
