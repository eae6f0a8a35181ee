// Module-wide state of the engine layer, shared by its source files only.
#pragma once

#include <string>
#include <vector>

#include "engine/tessel.h"

// Window pixels [left, right) x [bottom, top), rows counted from the bottom as in GL.
struct TSLPixelBox {
    int left, bottom, right, top;
};

struct TSLEngineState {
    bool headless = false;
    bool windowOpen = false;
    bool audioOpen = false;
    bool fullScreen = false;
    bool muted = false;
    int windowWidth = 0;
    int windowHeight = 0;
    std::string windowIcon;
    double ortho[4] = {0, 800, 0, 600}; // left, right, bottom, top
    // The frame's clear waits for the first drawing: when that is an opaque picture over the
    // whole view, clearing first would only cost the software rasteriser a full-screen pass.
    bool clearPending = false;
    // Reference mode for tests and for hunting drawing faults: every layer is drawn in full and
    // at once every frame, none of the shortcuts that must give the same picture.
    // ORBELLE_LAYERED_DRAWING=1 in the environment switches it on at TSLInit.
    bool layeredDrawing = false;
    // Until the frame has gone through its later GL states (engine/frame/warm.cpp), drawing
    // keeps to as few as it can: a software renderer builds code for each state before it can
    // show the first frame. Opaque pictures are blended like the rest, and sprites are not cut
    // into scissored bands.
    bool statesWarmed = false;
    // Where drawing may land: the whole window, or the part of it being drawn again.
    TSLPixelBox clip{0, 0, 0, 0};
    std::vector<TSLPrintedText> printedTexts;
    // The overlays alive, so their GL states can be gone through before one is first drawn.
    std::vector<TSLBlur*> overlays;
};

TSLEngineState& tslEngine();

// GL may be touched only with a live window: never when headless, never before TSLInit
// succeeded, and never once SDL has been shut down (global destructors run after SDL_Quit).
bool tslCanDraw();
// The same guard for SDL_mixer calls.
bool tslCanPlay();

// Clears the frame if TSLBeginRender's clear is still owed, unless what is about to be drawn
// covers the whole view opaquely anyway. Every drawing path calls it before touching pixels.
void tslSettleClear(bool coversView);
// True when the rectangle lies entirely outside the logical view, so drawing it changes nothing.
bool tslOutsideView(float left, float bottom, float right, float top);
// True when the rectangle covers the whole logical view.
bool tslCoversView(float left, float bottom, float right, float top);

// Window pixel coordinates of a logical point (the viewport spans the whole window).
double tslPixelX(double x);
double tslPixelY(double y);
// Scissors drawing to the window pixels [left, right) x [bottom, top), clamped to the clip box;
// false (and nothing set) when that leaves nothing.
bool tslScissor(int left, int bottom, int right, int top);
// Back to scissoring by the clip box alone (none when that is the whole window).
void tslRestoreScissor();

// Draws the bound texture (or plain colour) as an axis-aligned quad. Texture coordinates
// run from (s0, t0) at the bottom-left corner to (s1, t1) at the top-right.
void tslDrawQuad(float left, float bottom, float right, float top, float s0, float t0, float s1,
                 float t1);
