// Field creation, motion, collisions and events on small scenes of our own sprites.
#include <gtest/gtest.h>

#include "field/collisions.h"
#include "field/events.h"
#include "field/fields.h"
#include "record/game_state.h"
#include "record/random.h"
#include "tests/support/test_game.h"

static TSLPolygon sprite(float x, float y, float size, float radius) {
    TSLPolygon made(x, y, 1, size, size, 0);
    made.radius = radius;
    return made;
}

static void useSprites(std::initializer_list<TSLPolygon*> bubbles,
                       std::initializer_list<TSLPolygon*> spikes = {}) {
    game.bubbleCount = int(std::copy(bubbles.begin(), bubbles.end(), game.bubbles) - game.bubbles);
    game.spikeCount = int(std::copy(spikes.begin(), spikes.end(), game.spikes) - game.spikes);
}

// Play with empty fields, no network, and the player at (100, 100) with radius 2.
static void startPlayScene() {
    resetGameForTest();
    game.inMenu = game.internetScoresEnabled = false;
    game.player.x = game.player.y = 100;
    game.player.radius = 2;
}

// Expected values from a model of the generator in python3, not from the code under test.
TEST(FieldCreation, SizesAndPlacesFollowTheGeneratorInDrawOrder) {
    resetGameForTest();
    FieldsOfStartUp fields;
    createBubbles(3);
    resetGameRand();
    createSpikes(3);
    // size, x, y, radius: bubbles' radius 5/11 of the size, spikes' 0.4
    const float expected[6][4] = {{41, 67, -6334, 18.636364f},   {10, 769, -15724, 4.5454545f},
                                  {78, 558, -26962, 35.454545f}, {41, 67, -26500, 16.4f},
                                  {69, 524, -29358, 27.6f},      {62, 464, -28145, 24.8f}};
    for (int i = 0; i < 6; ++i) {
        const TSLPolygon& s = i < 3 ? *game.bubbles[i] : *game.spikes[i - 3];
        EXPECT_EQ(std::make_tuple(s.width, s.height, s.x, s.y),
                  std::make_tuple(expected[i][0], expected[i][0], expected[i][1], expected[i][2]))
            << i;
        EXPECT_FLOAT_EQ(s.radius, expected[i][3]) << i;
    }
    createBubbles(maxBubbles + 50); // held to the array's size
    EXPECT_EQ(game.bubbleCount, maxBubbles);
}

TEST(FieldCreation, SpecialMaterialsFromTheirThresholdsUpTheMultiplierWinning) {
    resetGameForTest();
    const char* const plain = bubbleMaterialName;
    // The two draws, out of 100, and the material they give.
    const std::tuple<int, int, const char*> cases[] = {{86, 97, plain},
                                                       {87, 0, bonusBubbleMaterialName},
                                                       {0, 98, multiplyBubbleMaterialName},
                                                       {99, 99, multiplyBubbleMaterialName}};
    for (const auto& [bonusDraw, multiplyDraw, material] : cases) {
        TSLPolygon bubble = sprite(0, 0, 20, 1);
        bubble.material = game.materials.GetMaterial(plain);
        useSprites({&bubble});
        seedDraws({{100, bonusDraw}, {100, multiplyDraw}});
        assignSpecialBubbles();
        EXPECT_EQ(bubble.material, game.materials.GetMaterial(material)) << bonusDraw;
    }
}

// The speeds stay far below their cap here, so that each step shows.
TEST(FieldMotion, RecyclingAtTheEdgesAndEscapesSpeedUpOnlyInPlay) {
    for (bool inMenu : {false, true}) {
        startPlayScene();
        game.inMenu = inMenu;
        TSLPolygon atLimit = sprite(5, 899, 20, 1), escaping = sprite(5, 899.5f, 20, 1);
        TSLPolygon spikeAtLimit = sprite(5, -99, 40, 1), leaving = sprite(5, -100, 40, 1);
        useSprites({&atLimit, &escaping}, {&spikeAtLimit, &leaving});
        seedDraws({{32000, -1}, {800, -1}, {32000, 900}}); // the spike lands at 900 exactly
        moveBubbles(1);
        moveSpikes(-1);
        EXPECT_EQ(std::make_pair(atLimit.y, spikeAtLimit.y), std::make_pair(900.0f, -100.0f));
        EXPECT_EQ(leaving.y, 900);
        EXPECT_LE(escaping.y, 0);
        EXPECT_FLOAT_EQ(game.bubbleSpeed, inMenu ? 1 : 1.009f);
        EXPECT_FLOAT_EQ(game.spikeSpeed, inMenu ? 2 : 2.01f);
    }
}

TEST(FieldMotion, ACollectedBubbleComesBackInSightAndSpeedsStopAtTheCap) {
    startPlayScene();
    TSLPolygon collected = sprite(5, 950, 20, 1), escaping = sprite(5, 950, 20, 1);
    collected.visible = false;
    useSprites({&collected, &escaping});
    game.bubbleSpeed = game.spikeSpeed = 29.995f;
    moveBubbles(1);
    EXPECT_TRUE(collected.visible);
    EXPECT_EQ(std::make_pair(game.bubbleSpeed, game.spikeSpeed), std::make_pair(30.0f, 30.0f));
}

TEST(FieldMotion, ResetRoundKeepsHiddenBubblesAndRestartsTheRound) {
    resetGameWithFieldsForTest();
    game.bubbles[7]->visible = game.player.visible = false;
    game.eventActive = game.quakeActive = game.blurVisible = game.gameOver = true;
    game.savedBubbleSpeed = game.bubbleSpeed = game.score = game.player.width = 14;
    game.steerAcceleration = -0.007f;
    resetRound();
    for (int i = 0; i < maxBubbles; ++i)
        EXPECT_TRUE(game.bubbles[i]->y <= 0 && (i >= maxSpikes || game.spikes[i]->y >= 900)) << i;
    EXPECT_FALSE(game.bubbles[7]->visible || game.eventActive || game.quakeActive ||
                 game.blurVisible || game.gameOver || game.inMenu || !game.player.visible);
    EXPECT_EQ(std::make_tuple(game.savedBubbleSpeed, game.bubbleSpeed, game.spikeSpeed, game.score,
                              game.steerAcceleration),
              std::make_tuple(14.0f, 1.0f, 2.0f, 0.0f, 0.007f));
    EXPECT_FLOAT_EQ(game.player.radius, 50.0f / 11);
    EXPECT_STREQ(game.scoreText, "Score:      0");
}

TEST(Collisions, CollectOnlyPastTouchingWithMultiplierStepsAndBubbletime) {
    startPlayScene();
    // 3-4-5 triangles: each distance equals the sum of the radii exactly.
    TSLPolygon grazing = sprite(103, 104, 50, 3), spike = sprite(97, 96, 20, 3);
    useSprites({&grazing}, {&spike});
    checkCollisions();
    EXPECT_EQ(std::make_pair(grazing.visible, game.player.visible), std::make_pair(true, true));
    grazing.y = 103.9f;
    useSprites({&grazing});
    checkCollisions();
    EXPECT_FALSE(grazing.visible);
    TSLPolygon bubble = sprite(100, 100, 20, 1);
    bubble.material = game.materials.GetMaterial(multiplyBubbleMaterialName);
    useSprites({&bubble});
    game.scoreMultiplier = 2.5f;
    for (float expected : {3.0f, 3.1f, 3.2f}) {
        bubble.visible = true;
        checkCollisions();
        EXPECT_FLOAT_EQ(game.scoreMultiplier, expected);
    }
    EXPECT_FLOAT_EQ(game.score, 50 + 20 * (3.0f + 3.1f + 3.2f));
    // The first bonus of a run restores the start speeds, then Bubbletime slows the field.
    bubble.material = game.materials.GetMaterial(bonusBubbleMaterialName);
    bubble.visible = true;
    seedDraws({{3, 0}});
    checkCollisions();
    EXPECT_FLOAT_EQ(game.bubbleSpeed, 0.707f);
    EXPECT_EQ(std::make_pair(game.savedBubbleSpeed, game.savedSpikeSpeed),
              std::make_pair(1.0f, 2.0f));
}

TEST(Collisions, TwoSpikesInOneFrameEndTheRoundOnceAndQualifyByWholePoints) {
    for (float score : {120.9f, 121.5f}) {
        startPlayScene();
        TSLPolygon spikeA = sprite(101, 100, 20, 2), spikeB = sprite(99, 100, 20, 2);
        useSprites({}, {&spikeA, &spikeB});
        game.score = score;
        game.localScores.entries[9].score = 120;
        game.eventActive = true;
        checkCollisions();
        EXPECT_EQ(std::make_tuple(game.blip.playCount, game.gameOver, game.player.visible,
                                  game.eventActive),
                  std::make_tuple(1, true, false, false));
        EXPECT_EQ(
            std::make_tuple(game.nameEntryActive, game.namePromptVisible, game.scoreScreenVisible),
            std::make_tuple(score > 121, score > 121, score < 121))
            << score;
        // Not qualified, the internet list is fetched at once (here: switched off).
        EXPECT_STREQ(game.statusMessage,
                     score < 121 ? "You have disabled internet highscores." : "");
    }
}

// A spike pops a bubble only while the bubble is within a third of its height of the field.
TEST(Collisions, SpikesPopBubblesOnlyNearTheField) {
    const std::pair<float, bool> cases[] = {
        {810, true}, {810.001f, false}, {-10, true}, {-10.001f, false}};
    for (const auto& [y, popped] : cases) {
        startPlayScene();
        TSLPolygon bubble = sprite(300, y, 30, 5), spike = sprite(300, y, 20, 5);
        useSprites({&bubble}, {&spike});
        checkCollisions();
        EXPECT_EQ(bubble.visible, !popped) << y;
    }
}

TEST(Events, EachKindSetsItsRulesAndTheSixthPopEndsItEvenAfterTheRound) {
    startPlayScene();
    game.bubbleSpeed = game.savedBubbleSpeed = 1.5f;
    game.spikeSpeed = game.savedSpikeSpeed = 2.5f;
    const std::pair<const char*, float> kinds[] = {
        {"Bubbletime!", 0.003f},
        {"OH NOES!!1 Controls reversed!", -0.007f},
        {"EARTHQUAKE! Watch out for 'em tsunamis!", 0.007f}};
    seedDraws({{3, 0}, {3, 1}, {3, 2}});
    for (int kind = 0; kind < 3; ++kind) {
        startEvent();
        EXPECT_STREQ(game.eventBanner, kinds[kind].first);
        EXPECT_FLOAT_EQ(game.steerAcceleration, kinds[kind].second);
        // Bubbletime's speeds are put back before the next event begins.
        EXPECT_EQ(
            std::make_tuple(game.blurVisible, game.quakeActive, game.bubbleSpeed, game.spikeSpeed),
            std::make_tuple(true, kind == 2, kind ? 1.5f : 0.7f, kind ? 2.5f : 0.85f));
    }
    // Two spikes on one bubble pop it once; pops go on after the round, but not in the menu.
    // After the round the player, on the bubble, does not collect it; in the menu, nor dies.
    game.gameOver = true;
    game.player.visible = false;
    TSLPolygon bubble = sprite(100, 100, 20, 5);
    TSLPolygon spikeA = sprite(102, 100, 20, 5), spikeB = sprite(98, 100, 20, 5);
    useSprites({&bubble}, {&spikeA, &spikeB});
    for (int pop = 1; pop <= 7; ++pop) {
        bubble.visible = true;
        checkCollisions();
        EXPECT_EQ(game.blip.playCount, pop);
        EXPECT_EQ(game.eventActive, pop < 6) << "pop " << pop;
    }
    EXPECT_FALSE(game.quakeActive || game.blurVisible || bubble.visible || *game.eventBanner);
    game.gameOver = false;
    game.inMenu = bubble.visible = game.player.visible = true;
    checkCollisions();
    EXPECT_TRUE(bubble.visible && game.player.visible);
    EXPECT_FALSE(game.gameOver);
}
