// One pass of the frame loop and the loop itself.
#pragma once

#include <cstdint>

#include "record/game_state.h"

extern const char* const musicTracks[musicTrackCount];

// One pass with the tick value now; returns false when the tick had not changed (nothing done).
bool runFramePass(uint32_t now);
// Everything one frame shows, back to front, between TSLBeginRender and TSLEndRender.
void drawScene();
// The frame's picture (with its texts) brought to the window, and what start-up left for after
// the first frame.
void showFrame();
// Plays the music track of that number.
void startMusicTrack(int track);
// Runs passes while game.running is 1, sleeping between ticks.
void runFrameLoop();
