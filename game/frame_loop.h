// One pass of the frame loop and the loop itself.
#pragma once

#include <cstdint>

extern const char* const musicTracks[3];

// One pass with the tick value now; returns false when the tick had not changed (nothing done).
bool runFramePass(uint32_t now);
// Everything one frame shows, back to front, between TSLBeginRender and TSLEndRender.
void drawScene();
// Runs passes while game.running is 1, sleeping between ticks.
void runFrameLoop();
// Starts another track when the current one has ended; never the same one again.
void rotateMusic();
