// One frame of play in the only order there is: both fields move, the frame's input is taken,
// the collision pass runs, the frame is shown, then the frame's closing draws from the generator
// (the earthquake's offsets, and the next music track when the current one has ended). The
// game's frame pass and a replay's check both run it; they differ only in the steps below.
#pragma once

#include <cstdint>

struct PlayFrameSteps {
    // The frame's input: the game's keyboard handling, or a replay's recorded keys. Whatever
    // steers goes through steerPlayer.
    void (*takeInput)();
    // Draws the frame; nothing in a replay's check.
    void (*show)();
    // Whether the music track has ended.
    bool (*trackEnded)();
    // Plays the track of that number, which the closing draws chose.
    void (*startTrack)(int track);
};

// What a frame took that the rules cannot tell: the keys steering saw held, whether steering
// ran at all, and whether the music turned to another track.
struct FrameInput {
    uint8_t heldKeys = 0;
    bool steered = false;
    bool trackTurned = false;
};

FrameInput runPlayFrame(const PlayFrameSteps& steps);
// The part after the input: for the frame in which a round starts, whose fields moved and whose
// input was taken before the round's start.
FrameInput finishPlayFrame(const PlayFrameSteps& steps);
// Steering tells the frame what it saw.
void noteSteering(uint8_t heldKeys);
