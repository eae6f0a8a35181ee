#include "field/play_frame.h"

#include "field/collisions.h"
#include "field/fields.h"
#include "record/game_state.h"
#include "record/random.h"

namespace {
// An earthquake pulls the overlay down and left of the centre by up to four units.
const int quakeReach = 5;

FrameInput frameInput;

// Drawn every frame, earthquake or not, so the random sequence does not depend on events.
void drawQuakeOffsets() {
    game.quakeOffsetX = gameRand() % quakeReach;
    game.quakeOffsetY = gameRand() % quakeReach;
}

// Never the track that just ended.
int drawNextTrack() {
    int next;
    do {
        next = gameRand() % musicTrackCount;
    } while (next == game.musicTrack);
    game.musicTrack = next;
    return next;
}
} // namespace

void noteSteering(uint8_t heldKeys) {
    frameInput.heldKeys = heldKeys;
    frameInput.steered = true;
}

FrameInput runPlayFrame(const PlayFrameSteps& steps) {
    frameInput = FrameInput();
    moveBubbles(game.bubbleSpeed);
    moveSpikes(-game.spikeSpeed);
    steps.takeInput();
    return finishPlayFrame(steps);
}

FrameInput finishPlayFrame(const PlayFrameSteps& steps) {
    checkCollisions();
    steps.show();
    drawQuakeOffsets();
    if (steps.trackEnded()) {
        frameInput.trackTurned = true;
        steps.startTrack(drawNextTrack());
    }
    return frameInput;
}
