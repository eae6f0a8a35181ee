// Keys, materials, sprites, blur weights, the printed-text record and the bitmap font, all
// without a window.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <set>
#include <string>

#include "engine/raster_font.h"
#include "engine/tessel.h"

TEST(Keyhandler, TestKeysAreHeldUntilReleasedAndOddSymbolsNever) {
    TSLKeyhandler keys, other;
    TSLKeyhandler::ClearTestKeys();
    TSLKeyhandler::SetTestKey(SDLK_UP, true);
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, true);
    // The seam is shared by every handler.
    EXPECT_TRUE(other.IsKeydown(SDLK_UP) && keys.IsKeydown(27) && !keys.IsKeydown(SDLK_DOWN));
    TSLKeyhandler::SetTestKey(SDLK_UP, false);
    EXPECT_FALSE(keys.IsKeydown(SDLK_UP));
    TSLKeyhandler::ClearTestKeys();
    EXPECT_FALSE(keys.IsKeydown(SDLK_ESCAPE));

    // Symbols outside SDL's key table, with video down and then up.
    const bool videoWasUp = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    for (int round = 0; round < 2; ++round) {
        for (int symbol : {-1, int(SDLK_LAST), 1 << 20, int(SDLK_LEFT)})
            EXPECT_FALSE(keys.IsKeydown(symbol)) << symbol << " round " << round;
        if (!videoWasUp) {
            ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        }
    }
    if (!videoWasUp)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(Headless, MaterialsSpritesAndPrintedTexts) {
    TSLSetHeadless(true);
    ASSERT_TRUE(TSLInit(800, 600, 32, true));
    TSLMaterialLibrary library;
    static const char* const multiply = "MultiplyBubble";
    TSLMaterial* bubble = library.NewMaterial("Bubble", 1, 1, 1, 1, "data/no-such.tga");
    TSLMaterial* multiplyBubble =
        library.NewMaterial(multiply, 0.09f, 0.9f, 0.09f, 1, "data/x.tga");
    TSLMaterial* bonus = library.NewMaterial("BonusBubble", 100, 1, 1, 1, "data/x.tga");
    EXPECT_EQ(multiplyBubble->name, multiply); // the very pointer, not a copy
    EXPECT_FLOAT_EQ(bonus->diffuse[0], 100);   // kept unclamped: the game looks for exactly 100
    // The same characters in other storage find it.
    EXPECT_EQ(library.GetMaterial(std::string("MultiplyBubble").c_str()), multiplyBubble);
    EXPECT_EQ(library.GetMaterial("Bubble"), bubble);
    for (const char* missing : {"Bubbl", "bubble", static_cast<const char*>(nullptr)})
        EXPECT_EQ(library.GetMaterial(missing), nullptr);

    // Sprites without a texture, hidden ones and the blur draw nothing and must not crash.
    TSLPolygon sprite(400, 300, 1, 10, 12, 0);
    sprite.StrafeVertical(-2.5f);
    sprite.StrafeHorizontal(7);
    EXPECT_EQ(sprite.x, 407);
    EXPECT_EQ(sprite.y, 297.5f);
    sprite.material = bubble;
    sprite.Render();
    TSLBlur blur(399, 299, 0, 800, 600, 0, 2048);
    EXPECT_EQ(blur.material, &blur.overlayMaterial);
    blur.Render(800, 600);

    TSLText font;
    font.MakeRasterFont();
    TSLBeginRender();
    char buffer[32] = "Score:      0";
    font.PrintText(5, 2, buffer);
    std::strcpy(buffer, "changed"); // the record holds copies
    font.PrintText(150.5f, 300, nullptr);
    font.PrintText(10, 20, "\x01\xff bytes outside the font");
    const std::vector<TSLPrintedText>& texts = TSLPrintedTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].text + "@" + std::to_string(texts[0].x) + "," + std::to_string(texts[0].y),
              "Score:      0@5.000000,2.000000");
    EXPECT_EQ(texts[1].text + "@" + std::to_string(texts[1].x) + "," + std::to_string(texts[1].y),
              "@150.500000,300.000000");
    EXPECT_EQ(texts[2].text, "\x01\xff bytes outside the font");
    TSLEndRender();
    TSLBeginRender();
    EXPECT_TRUE(TSLPrintedTexts().empty());
    font.PrintText(1, 2, "next frame");
    TSLClearPrintedTexts();
    EXPECT_TRUE(TSLPrintedTexts().empty());
}

TEST(RasterFont, GlyphsAreDistinctAndTheAtlasDrawsEachDotOneWideTwoTall) {
    std::set<std::string> seen;
    for (int code = fontFirstChar; code <= fontLastChar; ++code) {
        std::string flat;
        for (int row = 0; row < glyphRows; ++row)
            flat += glyphPicture(static_cast<unsigned char>(code))[row];
        ASSERT_EQ(flat.size(), std::size_t(glyphRows * glyphColumns)) << code;
        EXPECT_EQ(flat.find('X') == std::string::npos, code == ' ') << char(code);
        EXPECT_TRUE(seen.insert(flat).second) << char(code) << " repeats another glyph";
    }
    // Unprintable bytes share the box.
    EXPECT_TRUE(glyphPicture(127) == glyphPicture(0) && glyphPicture(255) == glyphPicture(0));
    EXPECT_EQ(glyphAtlasCell(255), fontGlyphCount);

    const std::vector<unsigned char> atlas = buildFontAtlas();
    ASSERT_EQ(atlas.size(), std::size_t(fontAtlasSize) * fontAtlasSize * 4);
    for (unsigned char c : {'A', 'g', '~', '\0'}) {
        const int cell = glyphAtlasCell(c);
        const int left = (cell % fontAtlasColumns) * fontCellWidth;
        const int top = (cell / fontAtlasColumns) * fontCellHeight;
        for (int y = 0; y < fontCellHeight; ++y)
            for (int x = 0; x < fontCellWidth; ++x) {
                const unsigned char* pixel = &atlas[((top + y) * fontAtlasSize + left + x) * 4];
                const bool expected =
                    x >= 1 && x <= glyphColumns && glyphPicture(c)[y / 2][x - 1] == 'X';
                ASSERT_EQ(pixel[3] != 0, expected) << c << " at " << x << "," << y;
                if (expected) { // opaque white, so the material colour alone tints the text
                    ASSERT_EQ(pixel[0] + pixel[1] + pixel[2], 3 * 255);
                }
            }
    }
}
