#include <gtest/gtest.h>

#include <cstring>

#include "field/fields.h"
#include "tests/unit/field/field_test_support.h"

namespace {
// createBubbles and createSpikes free what the slots hold; keep the shared fields out of reach.
void emptyFieldSlots() {
    for (auto& slot : game.bubbles)
        slot = nullptr;
    for (auto& slot : game.spikes)
        slot = nullptr;
}

void freeFieldSlots() {
    for (auto& slot : game.bubbles)
        delete slot, slot = nullptr;
    for (auto& slot : game.spikes)
        delete slot, slot = nullptr;
}
} // namespace

TEST(FieldCreation, BubblesDrawSizePositionThenSpecialsInOrder) {
    resetGameForTest();
    emptyFieldSlots();
    createBubbles(5);
    resetGameRand();
    int size[5];
    for (int i = 0; i < 5; ++i) {
        size[i] = std::max(10, gameRand() % 100);
        EXPECT_EQ(game.bubbles[i]->x, gameRand() % 800);
        EXPECT_EQ(game.bubbles[i]->y, -(gameRand() % 32000));
    }
    for (int i = 0; i < 5; ++i) {
        const TSLPolygon& bubble = *game.bubbles[i];
        int bonusDraw = gameRand() % 100, multiplyDraw = gameRand() % 100;
        const char* name = multiplyDraw > 97 ? multiplyBubbleMaterialName
                           : bonusDraw > 86  ? bonusBubbleMaterialName
                                             : bubbleMaterialName;
        EXPECT_EQ(bubble.material, material(name));
        EXPECT_EQ(bubble.width, size[i]);
        EXPECT_EQ(bubble.height, size[i]);
        EXPECT_EQ(bubble.radius, float(size[i] * 0.45454545454545453));
    }
    freeFieldSlots();

    // No bubbles, no draws; a count beyond the array is held to its size.
    resetGameRand();
    createBubbles(0);
    int nextDraw = gameRand();
    resetGameRand();
    EXPECT_EQ(nextDraw, gameRand());
    createBubbles(maxBubbles + 50);
    EXPECT_EQ(game.bubbleCount, maxBubbles);
    freeFieldSlots();
}

TEST(FieldCreation, DrawsOf90And99MakeAMultiplyBubble) {
    resetGameForTest();
    TSLPolygon bubble = sprite(0, 0, 20, 1);
    bubble.material = material(bubbleMaterialName);
    useBubbles({&bubble});
    resetGameRand(stateDrawing({90, 99}, 100));
    assignSpecialBubbles();
    EXPECT_EQ(bubble.material, material(multiplyBubbleMaterialName));
    resetGameRand(stateDrawing({90, 50}, 100));
    assignSpecialBubbles();
    EXPECT_EQ(bubble.material, material(bonusBubbleMaterialName));
}

TEST(FieldCreation, SpikesStartAtOrBelowTheBottomWithAlphaTest) {
    resetGameForTest();
    emptyFieldSlots();
    createSpikes(8);
    resetGameRand();
    for (int i = 0; i < 8; ++i) {
        int size = std::max(20, gameRand() % 100), x = gameRand() % 800, y = gameRand() % 32000;
        if (y > 0)
            y = -(gameRand() % 32000);
        EXPECT_EQ(game.spikes[i]->width, size);
        EXPECT_EQ(game.spikes[i]->radius, float(size * 0.4));
        EXPECT_EQ(game.spikes[i]->x, x);
        EXPECT_EQ(game.spikes[i]->y, y);
    }
    EXPECT_EQ(material(spikeMaterialName)->renderMode, 3008);
    freeFieldSlots();
}

TEST(FieldMotion, BubblesRecycleStrictlyAbove900AndEscapesSpeedUp) {
    resetGameForTest();
    game.inMenu = false;
    TSLPolygon atLimit = sprite(5, 899, 20, 1), escaping = sprite(5, 899.5f, 20, 1);
    useBubbles({&atLimit, &escaping});
    moveBubbles(1);
    EXPECT_EQ(atLimit.y, 900);
    resetGameRand();
    EXPECT_EQ(escaping.y, -(gameRand() % 32000));
    EXPECT_EQ(escaping.x, gameRand() % 800);
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 1.009f);
    EXPECT_FLOAT_EQ(game.spikeSpeed, 2.01f);

    // A collected bubble, or any bubble behind the menu, escapes without a speed-up.
    atLimit.visible = false;
    moveBubbles(1);
    EXPECT_TRUE(atLimit.visible);
    game.inMenu = true;
    escaping.y = 950;
    moveBubbles(0);
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 1.009f);

    game.inMenu = false;
    game.bubbleSpeed = 29.995f;
    game.spikeSpeed = 29.995f;
    for (int escapes = 0; escapes < 2; ++escapes) {
        escaping.y = 950;
        moveBubbles(0);
        EXPECT_EQ(game.bubbleSpeed, 30);
        EXPECT_EQ(game.spikeSpeed, 30);
    }
}

TEST(FieldMotion, SpikesRecycleStrictlyBelowMinus100ToAbove900) {
    resetGameForTest();
    TSLPolygon atLimit = sprite(5, -99, 40, 1), leaving = sprite(5, -100, 40, 1);
    useSpikes({&atLimit, &leaving});
    moveSpikes(-1);
    EXPECT_EQ(atLimit.y, -100);
    EXPECT_GE(leaving.y, 900);
    EXPECT_LT(leaving.y, 32000);
    resetGameRand();
    int y = gameRand() % 32000;
    EXPECT_EQ(leaving.x, gameRand() % 800);
    while (y < 900)
        y = gameRand() % 32000;
    EXPECT_EQ(leaving.y, y);
    EXPECT_FLOAT_EQ(game.spikeSpeed, 2);
}

TEST(FieldMotion, ResetRoundKeepsHiddenBubblesAndRestartsTheRound) {
    resetGameForTest();
    ensureFieldsForTest();
    game.bubbles[7]->visible = false;
    game.eventKind = 2;
    game.eventActive = game.quakeActive = game.blurVisible = game.gameOver = true;
    game.savedBubbleSpeed = 4;
    game.player.visible = false;
    game.player.width = game.player.height = 14;
    game.score = 321;
    game.steerAcceleration = -0.007f;
    game.bubbleSpeed = 9;
    resetRound();
    EXPECT_FALSE(game.bubbles[7]->visible);
    for (int i = 0; i < game.bubbleCount; ++i)
        EXPECT_LE(game.bubbles[i]->y, 0);
    for (int i = 0; i < game.spikeCount; ++i)
        EXPECT_GE(game.spikes[i]->y, 900);
    EXPECT_FALSE(game.eventActive || game.quakeActive || game.blurVisible || game.gameOver ||
                 game.inMenu);
    EXPECT_EQ(game.eventKind, 2);
    EXPECT_EQ(game.savedBubbleSpeed, 4);
    EXPECT_TRUE(game.player.visible);
    EXPECT_EQ(game.player.radius, float(10 * 0.45454545454545453));
    EXPECT_EQ(game.bubbleSpeed, 1);
    EXPECT_FLOAT_EQ(game.steerAcceleration, 0.007f);
    EXPECT_STREQ(game.scoreText, "Score:      0");
}
