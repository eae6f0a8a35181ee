// Materials, sprites and the blur overlay without a window.
#include <gtest/gtest.h>

#include <string>

#include "engine/blur.h"
#include "engine/tessel.h"

namespace {
class HeadlessEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        TSLSetHeadless(true);
        ASSERT_TRUE(TSLInit(800, 600, 32, true));
    }
};
} // namespace

TEST_F(HeadlessEngine, MaterialsKeepTheirNamePointerAndAreFoundByCharacters) {
    TSLMaterialLibrary library;
    static const char* const multiply = "MultiplyBubble";
    TSLMaterial* bubble = library.NewMaterial("Bubble", 1, 1, 1, 1, "data/no-such.tga");
    TSLMaterial* special = library.NewMaterial(multiply, 0.09f, 0.9f, 0.09f, 1, "data/x.tga");
    TSLMaterial* bonus = library.NewMaterial("BonusBubble", 100, 1, 1, 1, "data/x.tga");

    EXPECT_EQ(special->name, multiply);      // the very pointer, not a copy
    EXPECT_FLOAT_EQ(bonus->diffuse[0], 100); // kept unclamped: the game looks for exactly 100
    EXPECT_EQ(bubble->texture, 0u);          // nothing loaded without a window
    EXPECT_EQ(bubble->renderMode, 0);

    std::string lookup = "MultiplyBubble"; // same characters, different storage
    EXPECT_EQ(library.GetMaterial(lookup.c_str()), special);
    EXPECT_EQ(library.GetMaterial("Bubble"), bubble);
    EXPECT_EQ(library.GetMaterial("BonusBubble"), bonus);
    EXPECT_EQ(library.GetMaterial("Bubbl"), nullptr);
    EXPECT_EQ(library.GetMaterial("bubble"), nullptr);
    EXPECT_EQ(library.GetMaterial(nullptr), nullptr);
}

TEST_F(HeadlessEngine, SpritesMoveByStrafingAndRenderSafelyInEveryState) {
    TSLPolygon sprite(400, 300, 1, 10, 12, 0);
    EXPECT_TRUE(sprite.visible);
    EXPECT_EQ(sprite.material, nullptr);
    EXPECT_FLOAT_EQ(sprite.width, 10);
    EXPECT_FLOAT_EQ(sprite.height, 12);

    sprite.StrafeVertical(-2.5f);
    sprite.StrafeHorizontal(7);
    sprite.StrafeVertical(1);
    EXPECT_FLOAT_EQ(sprite.x, 407);
    EXPECT_FLOAT_EQ(sprite.y, 298.5f);

    // No material, no texture, hidden: drawing is a no-op and must not touch GL here.
    TSLMaterial blank("Blank", 1, 1, 1, 1, nullptr);
    sprite.Render();
    sprite.material = &blank;
    sprite.Render();
    sprite.visible = false;
    sprite.Render();

    TSLBlur blur(399, 299, 0, 800, 600, 0, 2048);
    EXPECT_EQ(blur.material, &blur.overlayMaterial);
    EXPECT_EQ(blur.textureSize, 2048);
    blur.material->SetDiffuseColor(0.8f, 0.85f, 0.9f, 0.8f);
    EXPECT_FLOAT_EQ(blur.overlayMaterial.diffuse[3], 0.8f);
    blur.Render(800, 600);
    TSLPolygon& asSprite = blur;
    asSprite.StrafeHorizontal(1);
    EXPECT_FLOAT_EQ(blur.x, 400);
}

// Each softening pass must end up with the same share of the overlay, and the scene under
// it must keep exactly 1 - alpha, whatever the overlay's alpha.
TEST(BlurPasses, EveryPassGetsAnEqualShareAndTheSceneTheRest) {
    for (float alpha : {0.0f, 0.3f, 0.8f, 1.0f}) {
        float weights[blurPassCount];
        float scene = 1;
        for (int pass = 0; pass < blurPassCount; ++pass) {
            const float a = blurPassAlpha(pass, blurPassCount, alpha);
            ASSERT_GE(a, 0);
            ASSERT_LE(a, 1);
            for (int earlier = 0; earlier < pass; ++earlier)
                weights[earlier] *= 1 - a;
            scene *= 1 - a;
            weights[pass] = a;
        }
        EXPECT_NEAR(scene, 1 - alpha, 1e-5) << "alpha " << alpha;
        for (float weight : weights)
            EXPECT_NEAR(weight, alpha / blurPassCount, 1e-5);
    }
    // Colours above 1 are drawn as 1, so an alpha above 1 covers the scene fully.
    EXPECT_FLOAT_EQ(blurPassAlpha(0, blurPassCount, 5), blurPassAlpha(0, blurPassCount, 1));
}
