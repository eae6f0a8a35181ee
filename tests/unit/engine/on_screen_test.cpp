// Real drawing, read back from the frame buffer. Needs an X display with OpenGL, so it runs
// only from tests/e2e/engine_render_test.sh (under Xvfb), which sets ORBELLE_ENGINE_ON_SCREEN.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/tessel.h"

namespace {
const int windowWidth = 1024; // not 800 x 600: the logical field must fill any window
const int windowHeight = 768;

struct Pixel {
    int r, g, b;
};

// The window pixel under the logical point (x, y).
Pixel pixelAt(float x, float y) {
    const int px = int(std::floor(x * windowWidth / 800));
    const int py = int(std::floor(y * windowHeight / 600));
    unsigned char rgba[4] = {};
    glReadPixels(px, py, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

// A square TGA of the given size, origin top left: the left half opaque red, the right half
// fully transparent.
void writeHalfRedTga(const std::string& path, int size = 4) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const unsigned char side = static_cast<unsigned char>(size);
    const unsigned char header[18] = {0, 0, 2, 0,    0, 0,    0, 0,  0,
                                      0, 0, 0, side, 0, side, 0, 32, 0x28};
    std::fwrite(header, 1, sizeof header, f);
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column) {
            const unsigned char alpha = column < size / 2 ? 255 : 0;
            const unsigned char bgra[4] = {0, 0, 255, alpha};
            std::fwrite(bgra, 1, 4, f);
        }
    std::fclose(f);
}

class OnScreen : public ::testing::Test {
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
};
bool OnScreen::windowReady = false;
} // namespace

TEST_F(OnScreen, SpritesDrawTheirTextureScaledToTheWindow) {
    const std::string file = "/tmp/orbelle-engine-half-red.tga";
    writeHalfRedTga(file);
    TSLMaterialLibrary library;
    TSLMaterial* red = library.NewMaterial("Red", 1, 1, 1, 1, file.c_str());
    TSLMaterial* missing = library.NewMaterial("Missing", 1, 1, 1, 1, "/tmp/no-such-file.tga");
    std::remove(file.c_str());
    ASSERT_NE(red->texture, 0u);
    EXPECT_EQ(missing->texture, 0u);

    TSLPolygon sprite(700, 500, 1, 80, 80, 0);
    sprite.material = red;
    sprite.Render();
    Pixel left = pixelAt(675, 500);
    Pixel right = pixelAt(725, 500);
    EXPECT_GT(left.r, 240);
    EXPECT_LT(left.g, 15);
    EXPECT_LT(right.r, 15); // transparent half leaves the black screen

    // Alpha test gives the same picture; hidden and texture-less sprites draw nothing.
    red->renderMode = 3008;
    sprite.x = 100;
    sprite.Render();
    red->renderMode = 0;
    EXPECT_GT(pixelAt(75, 500).r, 240);
    EXPECT_LT(pixelAt(125, 500).r, 15);
    sprite.y = 100;
    sprite.visible = false;
    sprite.Render();
    TSLPolygon blank(400, 100, 1, 80, 80, 0);
    blank.material = missing;
    blank.Render();
    EXPECT_LT(pixelAt(75, 100).r, 15);
    EXPECT_LT(pixelAt(400, 100).r + pixelAt(400, 100).g, 15);

    // Logical 800 x 600 spans the whole window: a full-size sprite reaches both corners.
    TSLPolygon full(400, 300, 0, 800, 600, 0);
    full.material = red;
    full.Render();
    EXPECT_GT(pixelAt(1, 1).r, 240);
    EXPECT_GT(pixelAt(300, 599).r, 240);
}

TEST_F(OnScreen, TextIsDrawnCrispInTheFontColourAtItsBottomLeftCorner) {
    TSLText font;
    font.MakeRasterFont();
    font.SetDiffuseColor(11, 1.2f, 1.2f, 1); // clamps to white
    font.PrintText(300, 300, "I");
    // 'I' has its stem in dot column 2 (one unit in from the cell edge) over rows 1 to 5;
    // each dot row is two units tall and row 6 ends two units above the bottom edge.
    const Pixel stem = pixelAt(303.5f, 307);
    EXPECT_GT(stem.r, 240);
    EXPECT_GT(stem.g, 240);
    EXPECT_GT(stem.b, 240);
    EXPECT_LT(pixelAt(301.5f, 307).g, 15);     // beside the stem
    EXPECT_LT(pixelAt(303.5f, 300.5f).g, 15);  // descender row of a capital is empty
    EXPECT_GT(pixelAt(302.5f, 302.5f).g, 240); // the bottom bar
    EXPECT_EQ(TSLPrintedTexts().size(), 1u);

    font.SetDiffuseColor(0, 1, 0, 1);
    font.PrintText(100, 100, "\x01");
    EXPECT_GT(pixelAt(101.5f, 110).g, 240); // unknown bytes draw a box
    EXPECT_LT(pixelAt(101.5f, 110).r, 15);
}

TEST_F(OnScreen, BlurCoversTheSceneTintedAndSoftensEdges) {
    const std::string file = "/tmp/orbelle-engine-blur.tga";
    writeHalfRedTga(file, 64);
    TSLMaterial red("Red", 1, 1, 1, 1, file.c_str());
    std::remove(file.c_str());
    // Left half of the screen red, right half black, with a sharp (alpha-tested) edge down
    // x = 400.
    red.renderMode = 3008;
    TSLPolygon half(400, 300, 0, 800, 600, 0);
    half.material = &red;
    half.Render();

    TSLBlur blur(400, 300, 0, 800, 600, 0, 2048);
    blur.material->SetDiffuseColor(0.5f, 1, 1, 1);
    blur.Render(windowWidth, windowHeight);
    const Pixel inside = pixelAt(200, 300);
    EXPECT_NEAR(inside.r, 128, 12); // fully covered by the tinted copy
    EXPECT_LT(pixelAt(600, 300).r, 15);
    // Just left of the edge the copies shifted either way mix red and black.
    const Pixel edge = pixelAt(398.9f, 300);
    EXPECT_GT(edge.r, 20);
    EXPECT_LT(edge.r, 110);
}
