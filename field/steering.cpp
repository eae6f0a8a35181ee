#include "field/steering.h"

#include "field/events.h"
#include "field/play_frame.h"
#include "record/game_state.h"

namespace {
const float maxSteerSpeed = 6.0f;

void wrapPlayer() {
    TSLPolygon& player = game.player;
    if (player.x < 0)
        player.x = fieldWidth;
    else if (player.x > fieldWidth)
        player.x = 0;
    if (player.y < 0)
        player.y = fieldHeight;
    else if (player.y > fieldHeight)
        player.y = 0;
}

// Each key clamps only in its own direction, so reversed steering can pass the limit.
void accelerate(uint8_t held) {
    float change = float(game.frameMillis) * game.steerAcceleration;
    if (held & steerUp) {
        game.playerVelocityY += change;
        if (game.playerVelocityY > maxSteerSpeed)
            game.playerVelocityY = maxSteerSpeed;
    }
    if (held & steerDown) {
        game.playerVelocityY -= change;
        if (game.playerVelocityY < -maxSteerSpeed)
            game.playerVelocityY = -maxSteerSpeed;
    }
    if (held & steerLeft) {
        game.playerVelocityX -= change;
        if (game.playerVelocityX < -maxSteerSpeed)
            game.playerVelocityX = -maxSteerSpeed;
    }
    if (held & steerRight) {
        game.playerVelocityX += change;
        if (game.playerVelocityX > maxSteerSpeed)
            game.playerVelocityX = maxSteerSpeed;
    }
}
} // namespace

void giveUpRound() {
    endEvent();
    game.inMenu = true;
}

bool steerPlayer(uint8_t heldKeys) {
    noteSteering(heldKeys);
    game.player.StrafeVertical(game.playerVelocityY);
    game.player.StrafeHorizontal(game.playerVelocityX);
    wrapPlayer();
    const bool givenUp = (heldKeys & steerEscape) != 0;
    // The rest of the steering still runs in this frame.
    if (givenUp)
        giveUpRound();
    accelerate(heldKeys);
    return givenUp;
}
