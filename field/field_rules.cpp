#include "field/field_rules.h"

#include <cmath>
#include <cstdio>

#include "record/game_state.h"

void capFieldSpeeds() {
    if (game.bubbleSpeed > maxFieldSpeed)
        game.bubbleSpeed = maxFieldSpeed;
    if (game.spikeSpeed > maxFieldSpeed)
        game.spikeSpeed = maxFieldSpeed;
}

void formatScoreText() {
    std::snprintf(game.scoreText, sizeof game.scoreText, "Score:%7.0f", game.score);
}

bool spritesTouch(const TSLPolygon& a, const TSLPolygon& b) {
    double dx = double(a.x) - double(b.x);
    double dy = double(a.y) - double(b.y);
    return std::sqrt(dx * dx + dy * dy) < double(a.radius) + double(b.radius);
}
