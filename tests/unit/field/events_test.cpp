#include <gtest/gtest.h>

#include "field/events.h"
#include "tests/unit/field/field_test_support.h"

namespace {
void startEventOfKind(int kind) {
    resetGameRand(stateDrawing({kind}, 3));
    startEvent();
}

void expectColour(const TSLMaterial& material, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(material.diffuse[0], r);
    EXPECT_FLOAT_EQ(material.diffuse[1], g);
    EXPECT_FLOAT_EQ(material.diffuse[2], b);
    EXPECT_FLOAT_EQ(material.diffuse[3], a);
}
} // namespace

TEST(Events, EachKindSetsItsBannerSteeringAndOverlay) {
    resetGameForTest();
    TSLBlur overlay(0, 0, 1, 800, 600, 0, 64);
    game.blurOverlay = &overlay;
    game.bubbleSpeed = 1.5f;
    game.spikeSpeed = 2.5f;
    game.savedBubbleSpeed = 1.5f;
    game.savedSpikeSpeed = 2.5f;
    startEventOfKind(0);
    EXPECT_STREQ(game.eventBanner, "Bubbletime!");
    EXPECT_TRUE(game.eventActive && game.blurVisible);
    EXPECT_EQ(game.eventCountdown, 5);
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 0.7f);
    EXPECT_FLOAT_EQ(game.spikeSpeed, 0.85f);
    EXPECT_FLOAT_EQ(game.steerAcceleration, 0.003f);
    EXPECT_EQ(overlay.x, 399);
    expectColour(overlay.overlayMaterial, 0.8f, 0.85f, 0.9f, 0.8f);

    // A new bonus during Bubbletime restores its speeds before the next event begins.
    game.bubbleSpeed = 0.9f;
    startEventOfKind(1);
    EXPECT_STREQ(game.eventBanner, "OH NOES!!1 Controls reversed!");
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 1.5f);
    EXPECT_FLOAT_EQ(game.spikeSpeed, 2.5f);
    EXPECT_FLOAT_EQ(game.steerAcceleration, -0.007f);
    expectColour(overlay.overlayMaterial, 0.95f, 0.2f, 2.0f, 0.6f);

    startEventOfKind(2);
    EXPECT_STREQ(game.eventBanner, "EARTHQUAKE! Watch out for 'em tsunamis!");
    EXPECT_FLOAT_EQ(game.steerAcceleration, 0.007f);
    EXPECT_TRUE(game.quakeActive && game.blurVisible);
    EXPECT_EQ(overlay.x, 400);
    EXPECT_EQ(overlay.y, 300);

    endEvent();
    EXPECT_FALSE(game.quakeActive || game.blurVisible || game.eventActive);
    EXPECT_STREQ(game.eventBanner, "");
    EXPECT_EQ(game.eventKind, 2);
    // The tint stays as it was, hidden, until the next event.
    expectColour(overlay.overlayMaterial, 0.8f, 0.85f, 0.9f, 0.8f);
}

TEST(Events, EndingWithoutAnEventRepeatsTheLastUndo) {
    resetGameForTest();
    game.bubbleSpeed = 5;
    game.spikeSpeed = 6;
    endEvent();
    EXPECT_EQ(game.bubbleSpeed, 1);
    EXPECT_EQ(game.spikeSpeed, 2);
    // No overlay in this test: the event logic runs all the same.
    startEventOfKind(0);
    EXPECT_TRUE(game.blurVisible);
    EXPECT_EQ(game.savedBubbleSpeed, 1);
}
