#pragma once

#include "game/command_line.h"

// Steps of start-up from reading config.txt to the font. Returns false when the window could
// not be opened. Sound and the first music track follow after the first frame.
bool initGame(const RunOptions& options = RunOptions());
// Once a frame after its buffer swap: after initGame, the first call loads the sound library,
// sets up the sound, the blip and the music, and readies the overlay's drawing. True once
// nothing is left to do.
bool finishStartUp();
