// Module-wide state of the engine layer, shared by its source files only.
#pragma once

#include <vector>

#include "engine/tessel.h"

struct TSLEngineState {
    bool headless = false;
    bool windowOpen = false;
    bool audioOpen = false;
    int windowWidth = 0;
    int windowHeight = 0;
    double ortho[4] = {0, 800, 0, 600}; // left, right, bottom, top
    std::vector<TSLPrintedText> printedTexts;
};

TSLEngineState& tslEngine();

// GL may be touched only with a live window: never when headless, never before TSLInit
// succeeded, and never once SDL has been shut down (global destructors run after SDL_Quit).
bool tslCanDraw();
// The same guard for SDL_mixer calls.
bool tslCanPlay();

// Draws the bound texture (or plain colour) as an axis-aligned quad. Texture coordinates
// run from (s0, t0) at the bottom-left corner to (s1, t1) at the top-right.
void tslDrawQuad(float left, float bottom, float right, float top, float s0, float t0, float s1,
                 float t1);
