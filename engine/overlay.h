// The overlay's drawing: a copy of the frame drawn so far (the capture), drawn back softened and
// tinted. Like engine/draw.h, called by the SDL device for TSLBlur when it draws at once and by
// the frame when it draws what it noted.
#pragma once

#include "engine/tessel.h"
#include "engine/view.h"

struct TSLOverlayCapture {
    unsigned texture = 0;
    unsigned framebuffer = 0;
    int width = 0;
    int height = 0;
    float area[4] = {0, 0, 1, 1}; // texture coordinates s0, t0, s1, t1
};

// Captures the window-sized picture of framebuffer from (0: the window).
void tslCaptureOverlay(TSLBlur& overlay, unsigned from, int windowWidth, int windowHeight);
// Captures again only the window pixels of box (all even) of the picture captured last; false
// (nothing done) when there is no such capture to patch.
bool tslCaptureOverlayAgain(TSLBlur& overlay, unsigned from, int windowWidth, int windowHeight,
                            const TSLPixelBox& box);
// Draws the overlay from the last capture.
void tslDrawCapturedOverlay(const TSLBlur& overlay);
// Both: what drawing the overlay at once does.
void tslDrawOverlay(TSLBlur& overlay, int windowWidth, int windowHeight);
// Gives back the capture's GL objects.
void tslDropCapture(TSLOverlayCapture& capture);
