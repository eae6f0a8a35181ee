// What the device part of the engine (SDL, OpenGL, the mixer) shares among its files: whether a
// window and a sound device are there to use, and the view's arithmetic and GL helpers.
#pragma once

#include "engine/engine_state.h"

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
