// What the game does with a recorded round besides recording it: checks one (--verify) and
// shows one (--replay).
#pragma once

#include <cstdio>

#include "protocol/replay_format.h"

// Plays the replay in file again without a window. Prints "score N frames M" on out and returns
// 0 when it reaches the score and frame count it claims; otherwise says why on err (with the
// first frame that parts from the file) and returns 1, or 2 when the file is no replay.
int verifyReplayFile(const char* file, FILE* out, FILE* err);
// Reads the replay in file; false, after a line on err, when it cannot be read or is none.
bool loadReplayFile(const char* file, Replay* replay, FILE* err);
// Shows the round in the game's window with its pictures and sound, and its last picture once
// it is over, until Escape or the window's close.
void watchReplay(const Replay& replay);
