// A recorded round played again by the simulation that recorded it: for its check (no picture)
// and for watching it (in the game's window).
#pragma once

#include <cstddef>

#include "protocol/replay_format.h"

// Builds the fields as start-up builds them, from the generator's first state, and puts the
// round's start in place: what the round's first frame starts from.
void setUpReplayedRound(const Replay& replay);
// Plays frame i (frames in order, from 0) with the file's input and music turns; show draws the
// frame and startTrack plays the track the frame turned to.
void playReplayedFrame(const Replay& replay, size_t i, void (*show)(), void (*startTrack)(int));
