#include <gtest/gtest.h>

#include <cstring>

#include "field/collisions.h"
#include "field/events.h"
#include "tests/unit/field/field_test_support.h"

TEST(Collisions, TouchingEdgesDoNotCount) {
    startPlayScene();
    // A 3-4-5 triangle: the distance equals the sum of the radii exactly.
    TSLPolygon grazing = sprite(103, 104, 20, 3), spike = sprite(97, 96, 20, 3);
    TSLPolygon poppable = sprite(300, 300, 20, 1), popSpike = sprite(303, 304, 20, 4);
    useBubbles({&grazing, &poppable});
    useSpikes({&spike, &popSpike});
    checkCollisions();
    EXPECT_TRUE(grazing.visible && poppable.visible && game.player.visible);
    EXPECT_EQ(game.score, 0);
    grazing.y = 103.9f;
    checkCollisions();
    EXPECT_FALSE(grazing.visible);
}

TEST(Collisions, CollectScoresGrowsThePlayerAndSpeedsUp) {
    startPlayScene();
    game.player.radius = float(10 * 0.45454545454545453);
    TSLPolygon first = sprite(100, 100, 50, 3);
    // Within reach only of the radius grown by the first collect.
    TSLPolygon second = sprite(105.7f, 100, 20, 1);
    useBubbles({&first, &second});
    checkCollisions();
    EXPECT_FLOAT_EQ(game.player.width, 10.7f);
    EXPECT_FALSE(second.visible);
    EXPECT_EQ(game.score, 70);
    EXPECT_STREQ(game.scoreText, "Score:     70");
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 1.014f);

    startPlayScene();
    first.visible = true;
    useBubbles({&first});
    game.player.radius = 1;
    checkCollisions();
    EXPECT_EQ(game.player.width, 10.5f);
    EXPECT_EQ(game.player.height, 10.5f);
    EXPECT_FLOAT_EQ(game.player.radius, 4.7727275f);

    // Nothing is collected after the round or behind the menu.
    for (bool* blocker : {&game.gameOver, &game.inMenu}) {
        startPlayScene();
        *blocker = true;
        first.visible = true;
        useBubbles({&first});
        checkCollisions();
        EXPECT_TRUE(first.visible);
        EXPECT_EQ(game.score, 0);
    }
}

TEST(Collisions, MultiplierClimbsByHalvesThenTenths) {
    startPlayScene();
    TSLPolygon bubble = sprite(100, 100, 20, 1);
    bubble.material = material(multiplyBubbleMaterialName);
    useBubbles({&bubble});
    const float steps[][2] = {{1.0f, 1.5f}, {2.5f, 3.0f}, {3.0f, 3.1f}, {3.1f, 3.2f}};
    for (auto& step : steps) {
        game.scoreMultiplier = step[0];
        game.score = 0;
        bubble.visible = true;
        checkCollisions();
        EXPECT_FLOAT_EQ(game.scoreMultiplier, step[1]);
        EXPECT_FLOAT_EQ(game.score, step[1] * 20);
    }
    // Same name characters, different name text: an ordinary bubble.
    char copiedName[32];
    std::strcpy(copiedName, multiplyBubbleMaterialName);
    TSLMaterial lookalike;
    lookalike.name = copiedName;
    bubble.material = &lookalike;
    bubble.visible = true;
    checkCollisions();
    EXPECT_FLOAT_EQ(game.scoreMultiplier, 3.2f);
}

TEST(Collisions, BonusBubbleStartsAnEventBeforeTheCollectCounts) {
    startPlayScene();
    TSLPolygon bonus = sprite(100, 100, 20, 1);
    bonus.material = material(bonusBubbleMaterialName);
    useBubbles({&bonus});
    game.bubbleSpeed = 2.4f;
    game.spikeSpeed = 3.1f;
    resetGameRand(stateDrawing({0}, 3));
    checkCollisions();
    EXPECT_EQ(game.eventKind, 0);
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 0.707f);
    // The first bonus of the run first restores the start speeds.
    EXPECT_EQ(game.savedBubbleSpeed, 1.0f);
    EXPECT_EQ(game.savedSpikeSpeed, 2.0f);

    startPlayScene();
    useBubbles({&bonus});
    bonus.visible = true;
    game.bubbleSpeed = 2.4f;
    game.spikeSpeed = 3.1f;
    resetGameRand(stateDrawing({1}, 3));
    checkCollisions();
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 1.007f);
    EXPECT_EQ(game.spikeSpeed, 2.0f);
    EXPECT_STREQ(game.eventBanner, "OH NOES!!1 Controls reversed!");
}

TEST(Collisions, FirstSpikeEndsTheRoundOnce) {
    startPlayScene();
    TSLPolygon spikeA = sprite(101, 100, 20, 2), spikeB = sprite(99, 100, 20, 2);
    useSpikes({&spikeA, &spikeB});
    game.score = 120.9f;
    game.localScores.entries[9].score = 120;
    game.eventActive = true;
    game.eventBanner = "Bubbletime!";
    checkCollisions();
    EXPECT_EQ(game.blip.playCount, 1);
    EXPECT_TRUE(game.gameOver && game.scoreScreenVisible);
    EXPECT_FALSE(game.player.visible || game.nameEntryActive || game.eventActive);
    EXPECT_STREQ(game.eventBanner, "");
    EXPECT_STREQ(game.statusMessage, "You have disabled internet highscores.");
    checkCollisions();
    EXPECT_EQ(game.blip.playCount, 1);

    startPlayScene();
    useSpikes({&spikeA, &spikeB});
    game.score = 121.5f;
    game.localScores.entries[9].score = 120;
    std::memset(game.playerName, 'x', sizeof game.playerName);
    checkCollisions();
    EXPECT_TRUE(game.nameEntryActive && game.namePromptVisible && game.gameOver);
    EXPECT_FALSE(game.scoreScreenVisible);
    EXPECT_EQ(game.nameCursor, 0);
    EXPECT_EQ(std::string(game.playerName, sizeof game.playerName), std::string(16, '\0'));

    startPlayScene();
    game.inMenu = true;
    useSpikes({&spikeA});
    checkCollisions();
    EXPECT_TRUE(game.player.visible);
    EXPECT_FALSE(game.gameOver);
}

TEST(Collisions, SpikesPopBubblesAfterTheRoundButNotInTheMenu) {
    startPlayScene();
    game.gameOver = true;
    game.player.visible = false;
    TSLPolygon bubble = sprite(300, 300, 20, 5);
    TSLPolygon spikeA = sprite(302, 300, 20, 5), spikeB = sprite(298, 300, 20, 5);
    useBubbles({&bubble});
    useSpikes({&spikeA, &spikeB});
    checkCollisions();
    EXPECT_FALSE(bubble.visible);
    EXPECT_EQ(game.blip.playCount, 1);
    EXPECT_EQ(game.eventCountdown, -1);
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 1.008f);
    EXPECT_FLOAT_EQ(game.spikeSpeed, 2.009f);

    game.inMenu = true;
    bubble.visible = true;
    checkCollisions();
    EXPECT_TRUE(bubble.visible);

    game.inMenu = false;
    game.bubbleSpeed = game.spikeSpeed = 29.995f;
    checkCollisions();
    EXPECT_EQ(game.bubbleSpeed, 30);
    EXPECT_EQ(game.spikeSpeed, 30);
}

TEST(Collisions, TheSixthPopEndsTheEvent) {
    startPlayScene();
    TSLPolygon bubble = sprite(300, 300, 20, 5), spike = sprite(300, 300, 20, 5);
    useBubbles({&bubble});
    useSpikes({&spike});
    game.eventCountdown = -1;
    startEvent();
    for (int pop = 1; pop <= 6; ++pop) {
        bubble.visible = true;
        checkCollisions();
        EXPECT_EQ(game.eventActive, pop < 6) << "pop " << pop;
    }
    EXPECT_EQ(game.eventCountdown, 0);
}

TEST(Collisions, OnlyBubblesWithinAThirdOfTheirSizeOfTheBandPop) {
    startPlayScene();
    // Height 30: the band runs from -10 to 810.
    const float heights[] = {810.5f, 809.5f, -10.5f, -9.5f};
    const bool pops[] = {false, true, false, true};
    for (int i = 0; i < 4; ++i) {
        TSLPolygon bubble = sprite(400, heights[i], 30, 5), spike = sprite(400, heights[i], 20, 5);
        useBubbles({&bubble});
        useSpikes({&spike});
        checkCollisions();
        EXPECT_EQ(bubble.visible, !pops[i]) << "y " << heights[i];
    }
}
