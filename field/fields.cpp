#include "field/fields.h"

#include "field/events.h"
#include "field/field_rules.h"
#include "record/game_state.h"
#include "record/random.h"

namespace {
// Sprites are recycled once they are this far off screen.
const float bubbleRecycleHeight = 900.0f;
const float spikeRecycleDepth = -100.0f;
const int spikeWaitHeight = 900;
// New positions: x across the field, y anywhere in a tall band below or above it.
const int placementDepth = 32000;
const int minBubbleSize = 10;
const int minSpikeSize = 20;
const int maxSpriteSize = 100;
// Special bubbles: 13 in 100 get the bonus material, 2 in 100 the multiplier (which wins).
const int bonusThreshold = 86;
const int multiplyThreshold = 97;

// The sprite arrays have fixed room; a larger count would write past them.
int boundedCount(int count, int capacity) {
    if (count < 0)
        return 0;
    return count > capacity ? capacity : count;
}

// A slot that already holds a sprite gets it back as new (a replay's check builds the fields
// again, and whoever holds the sprites keeps them); an empty one a new sprite.
TSLPolygon* makeSprite(TSLPolygon*& slot, int x, int y, float depth, int size) {
    const TSLPolygon made(float(x), float(y), depth, float(size), float(size), 0);
    if (slot)
        *slot = made;
    else
        slot = new TSLPolygon(made);
    return slot;
}

int drawSize(int minimum) {
    int size = gameRand() % maxSpriteSize;
    return size < minimum ? minimum : size;
}

void placeBelowField(TSLPolygon& sprite) {
    sprite.y = float(-(gameRand() % placementDepth));
    sprite.x = float(gameRand() % fieldWidth);
}

// Spikes wait above the screen, at 900 or higher, so they fall in from the top.
void placeAboveField(TSLPolygon& spike) {
    int y = gameRand() % placementDepth;
    spike.x = float(gameRand() % fieldWidth);
    while (y < spikeWaitHeight)
        y = gameRand() % placementDepth;
    spike.y = float(y);
}

void speedUpForEscape() {
    game.bubbleSpeed += escapeBubbleSpeedStep;
    game.spikeSpeed += escapeSpikeSpeedStep;
    capFieldSpeeds();
}

void resetPlayer() {
    game.player.visible = true;
    game.player.x = fieldCentreX;
    game.player.y = fieldCentreY;
    game.player.width = 10;
    game.player.height = 10;
    game.player.radius = float(game.player.width * bubbleRadiusFactor);
}
} // namespace

void createBubbles(int count) {
    game.bubbleCount = boundedCount(count, maxBubbles);
    TSLMaterial* material = game.materials.GetMaterial(bubbleMaterialName);
    for (int i = 0; i < game.bubbleCount; ++i) {
        int size = drawSize(minBubbleSize);
        int x = gameRand() % fieldWidth;
        int y = -(gameRand() % placementDepth);
        TSLPolygon* bubble = makeSprite(game.bubbles[i], x, y, 1.0f, size);
        bubble->material = material;
        bubble->radius = float(bubble->width * bubbleRadiusFactor);
    }
    assignSpecialBubbles();
}

void assignSpecialBubbles() {
    TSLMaterial* bonus = game.materials.GetMaterial(bonusBubbleMaterialName);
    TSLMaterial* multiply = game.materials.GetMaterial(multiplyBubbleMaterialName);
    for (int i = 0; i < game.bubbleCount; ++i) {
        if (gameRand() % 100 > bonusThreshold)
            game.bubbles[i]->material = bonus;
        if (gameRand() % 100 > multiplyThreshold)
            game.bubbles[i]->material = multiply;
    }
}

void createSpikes(int count) {
    game.spikeCount = boundedCount(count, maxSpikes);
    TSLMaterial* material = game.materials.GetMaterial(spikeMaterialName);
    for (int i = 0; i < game.spikeCount; ++i) {
        int size = drawSize(minSpikeSize);
        int x = gameRand() % fieldWidth;
        int y = gameRand() % placementDepth;
        if (y > 0)
            y = -(gameRand() % placementDepth);
        TSLPolygon* spike = makeSprite(game.spikes[i], x, y, 0.9f, size);
        spike->material = material;
        if (material)
            material->renderMode = tslAlphaTestRenderMode;
        spike->radius = float(spike->width * spikeRadiusFactor);
    }
}

void moveBubbles(float distance) {
    for (int i = 0; i < game.bubbleCount; ++i) {
        TSLPolygon& bubble = *game.bubbles[i];
        bubble.StrafeVertical(distance);
        if (bubble.y <= bubbleRecycleHeight)
            continue;
        placeBelowField(bubble);
        // Only a bubble that got away uncollected during play makes the game harder.
        if (bubble.visible && !game.inMenu)
            speedUpForEscape();
        bubble.visible = true;
    }
}

void moveSpikes(float distance) {
    for (int i = 0; i < game.spikeCount; ++i) {
        TSLPolygon& spike = *game.spikes[i];
        spike.StrafeVertical(distance);
        if (spike.y < spikeRecycleDepth)
            placeAboveField(spike);
    }
}

void resetRound() {
    for (int i = 0; i < game.bubbleCount; ++i)
        placeBelowField(*game.bubbles[i]);
    for (int i = 0; i < game.spikeCount; ++i)
        placeAboveField(*game.spikes[i]);
    endEvent();
    game.quakeActive = false;
    game.gameOver = false;
    game.playerVelocityX = 0;
    game.playerVelocityY = 0;
    game.steerAcceleration = normalSteerAcceleration;
    game.bubbleSpeed = startBubbleSpeed;
    game.spikeSpeed = startSpikeSpeed;
    game.score = 0;
    game.scoreMultiplier = 1.0f;
    game.inMenu = false;
    resetPlayer();
    formatScoreText();
}
