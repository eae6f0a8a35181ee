// Keys, materials, sprites and the printed-text record, without a window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>

#include "engine/tessel.h"

TEST(Keyhandler, TestKeysAreSharedAndHeldUntilReleasedOddSymbolsNever) {
    TSLKeyhandler keys, other;
    TSLKeyhandler::ClearTestKeys();
    TSLKeyhandler::SetTestKey(SDLK_UP, true);
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, true);
    EXPECT_EQ(std::make_pair(other.IsKeydown(SDLK_UP), keys.IsKeydown(SDLK_DOWN)),
              std::make_pair(true, false));
    TSLKeyhandler::SetTestKey(SDLK_UP, false);
    EXPECT_FALSE(keys.IsKeydown(SDLK_UP));
    TSLKeyhandler::ClearTestKeys();
    EXPECT_FALSE(keys.IsKeydown(27));
    const bool videoWasUp = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    for (int videoUp = 0; videoUp < 2; ++videoUp) { // with video down, then up
        for (int symbol : {-1, int(SDLK_LAST), 1 << 20, int(SDLK_LEFT)})
            EXPECT_FALSE(keys.IsKeydown(symbol)) << symbol << " video " << videoUp;
        ASSERT_EQ(videoWasUp ? 0 : SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    if (!videoWasUp)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(Headless, MaterialsAreFoundByTheirNameTextAndSpritesMoveWithoutDrawing) {
    TSLSetHeadless(true);
    ASSERT_TRUE(TSLInit(800, 600, 32, true));
    TSLMaterialLibrary library;
    static const char* const multiply = "MultiplyBubble";
    TSLMaterial* bubble = library.NewMaterial("Bubble", 1, 1, 1, 1, "data/no-such.tga");
    TSLMaterial* found = library.NewMaterial(multiply, 0.09f, 0.9f, 0.09f, 1, "data/x.tga");
    TSLMaterial* bonus = library.NewMaterial("BonusBubble", 100, 1, 1, 1, "data/x.tga");
    EXPECT_EQ(found->name, multiply);  // the very pointer, not a copy
    EXPECT_EQ(bonus->diffuse[0], 100); // kept unclamped: the game looks for exactly 100
    EXPECT_EQ(library.GetMaterial(std::string("MultiplyBubble").c_str()), found);
    EXPECT_EQ(library.GetMaterial("Bubble"), bubble);
    for (const char* missing : {"Bubbl", "bubble", static_cast<const char*>(nullptr)})
        EXPECT_EQ(library.GetMaterial(missing), nullptr);
    TSLPolygon sprite(400, 300, 1, 10, 12, 0);
    sprite.StrafeVertical(-2.5f);
    sprite.StrafeHorizontal(7);
    EXPECT_EQ(std::make_pair(sprite.x, sprite.y), std::make_pair(407.0f, 297.5f));
    sprite.material = bubble;
    sprite.Render();
    TSLBlur blur(399, 299, 0, 800, 600, 0, 2048);
    EXPECT_EQ(blur.material, &blur.overlayMaterial);
    blur.Render(800, 600);
}

TEST(Headless, PrintedTextsAreCopiesKeptForOneFrame) {
    TSLText font;
    font.MakeRasterFont();
    TSLBeginRender();
    char buffer[32] = "Score:      0";
    font.PrintText(5, 2, buffer);
    std::strcpy(buffer, "changed");
    font.PrintText(150.5f, 300, nullptr);
    font.PrintText(10, 20, "\x01\xff bytes outside the font");
    std::string all;
    for (const TSLPrintedText& t : TSLPrintedTexts())
        all += t.text + "@" + std::to_string(t.x) + "," + std::to_string(t.y) + " ";
    EXPECT_EQ(all, "Score:      0@5.000000,2.000000 @150.500000,300.000000 "
                   "\x01\xff bytes outside the font@10.000000,20.000000 ");
    TSLEndRender();
    TSLBeginRender();
    EXPECT_TRUE(TSLPrintedTexts().empty());
    font.PrintText(1, 2, "next frame");
    TSLClearPrintedTexts();
    EXPECT_TRUE(TSLPrintedTexts().empty());
    TSLEndRender();
}
