// The player's steering in a frame of play, from the keys held: the game reads them from the
// keyboard (or the gamepad), a replay from its file, and both steer through here.
#pragma once

#include <cstdint>

// The held keys steering looks at, one bit each.
enum SteeringKey : uint8_t {
    steerUp = 1 << 0,
    steerDown = 1 << 1,
    steerLeft = 1 << 2,
    steerRight = 1 << 3,
    steerEscape = 1 << 4, // gives the round up
};
const uint8_t steeringKeys = 0x1F;

// Moves the player by its velocity, wraps it round the field, gives the round up when Escape is
// held, then changes the velocity by the held arrows. True when the round was given up.
bool steerPlayer(uint8_t heldKeys);
// Escape's effect on a round: the running event ends and the menu comes back.
void giveUpRound();
