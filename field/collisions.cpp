#include "field/collisions.h"

#include "field/events.h"
#include "field/field_rules.h"
#include "record/game_state.h"

namespace {
// Only the bonus material is made with a red of exactly 100.
const float bonusDiffuseRed = 100.0f;
// The multiplier climbs by halves up to this value and by tenths beyond it.
const float multiplierSlowdown = 3.0f;
const float multiplierSmallStep = 0.1f;
const float multiplierLargeStep = 0.5f;
const double playerGrowthFactor = 0.01;
// Bubbles further than a third of their size beyond these lines are not popped.
const float popBandTop = 800.0f;
const float popBandMargin = 0.33333334f;

bool isBonusBubble(const TSLPolygon& bubble) {
    return bubble.material && bubble.material->diffuse[0] == bonusDiffuseRed;
}

// Identity of the name text, not its characters: only materials made under the shared name
// constant count.
bool isMultiplyBubble(const TSLPolygon& bubble) {
    return bubble.material && bubble.material->name == multiplyBubbleMaterialName;
}

void raiseMultiplier() {
    if (game.scoreMultiplier >= multiplierSlowdown)
        game.scoreMultiplier += multiplierSmallStep;
    if (game.scoreMultiplier < multiplierSlowdown)
        game.scoreMultiplier += multiplierLargeStep;
}

void growPlayer(const TSLPolygon& bubble) {
    TSLPolygon& player = game.player;
    player.width = float(player.width + bubble.width * playerGrowthFactor);
    player.height = float(player.height + bubble.height * playerGrowthFactor);
    player.radius = float(player.width * bubbleRadiusFactor);
}

void collectBubble(TSLPolygon& bubble) {
    if (isBonusBubble(bubble))
        startEvent();
    if (isMultiplyBubble(bubble))
        raiseMultiplier();
    game.score += game.scoreMultiplier * bubble.width;
    formatScoreText();
    growPlayer(bubble);
    bubble.visible = false;
    game.bubbleSpeed += collectBubbleSpeedStep;
}

void collectTouchedBubbles() {
    for (int i = 0; i < game.bubbleCount; ++i) {
        TSLPolygon& bubble = *game.bubbles[i];
        if (bubble.visible && !game.gameOver && !game.inMenu && spritesTouch(bubble, game.player))
            collectBubble(bubble);
    }
}

// The field ends the event; the rest of the round's end is the game's, right here in the
// pass, before any bubble is popped.
void reportRoundEnd() {
    endEvent();
    if (roundEndHandler)
        roundEndHandler();
}

// Only the first spike to reach a visible player ends the round.
void hitPlayerWithSpikes() {
    bool alive = game.player.visible;
    for (int i = 0; i < game.spikeCount; ++i) {
        if (game.inMenu || !spritesTouch(*game.spikes[i], game.player))
            continue;
        if (alive)
            reportRoundEnd();
        alive = false;
        game.player.visible = false;
        game.gameOver = true;
    }
}

bool outOfPopReach(const TSLPolygon& bubble) {
    float margin = bubble.height * popBandMargin;
    return bubble.y > popBandTop + margin || bubble.y < -margin || !bubble.visible;
}

void popBubble(TSLPolygon& bubble) {
    game.eventCountdown -= 1;
    if (game.eventCountdown < 0) {
        game.eventCountdown = -1;
        if (game.eventActive)
            endEvent();
    }
    game.blip.Play();
    game.bubbleSpeed += popBubbleSpeedStep;
    game.spikeSpeed += popSpikeSpeedStep;
    capFieldSpeeds();
    bubble.visible = false;
}

void popBubblesOnSpikes() {
    for (int i = 0; i < game.bubbleCount; ++i) {
        TSLPolygon& bubble = *game.bubbles[i];
        for (int j = 0; j < game.spikeCount; ++j) {
            if (outOfPopReach(bubble))
                break;
            if (!game.inMenu && spritesTouch(bubble, *game.spikes[j]))
                popBubble(bubble);
        }
    }
}
} // namespace

void (*roundEndHandler)() = nullptr;

void checkCollisions() {
    collectTouchedBubbles();
    hitPlayerWithSpikes();
    popBubblesOnSpikes();
}
