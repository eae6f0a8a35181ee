// Frames drawn only where they changed. Between TSLBeginRender and TSLEndRender every sprite,
// text and overlay is noted instead of drawn; at the end the notes are compared with last
// frame's, tile by tile, and the whole frame is drawn once inside each box of changed tiles,
// then only those boxes are shown. The boxes are disjoint and the scissor does not change how
// a quad is interpolated, so every pixel comes out as if the frame had been drawn in full.
#pragma once

#include "engine/tessel.h"

// Starts noting this frame's drawing when the window keeps its back buffer between frames
// and the reference drawing is off; otherwise drawing goes straight to the window.
void tslBeginFrameRecord();
// True (and the drawing noted, to be done at the frame's end) while a frame is being noted.
bool tslRecordSprite(const TSLPolygon& sprite);
bool tslRecordText(TSLText& font, unsigned atlas, float x, float y, const char* text);
bool tslRecordOverlay(TSLBlur& overlay, int windowWidth, int windowHeight);
// True while the noted drawing is being done, so it is not noted again.
bool tslReplaying();
// Draws the noted frame where it changed and shows those parts; false when this frame was
// not noted (the caller swaps buffers).
bool tslShowRecordedFrame();
// The back buffer no longer holds the last frame shown (after a swap).
void tslForgetShownFrame();
