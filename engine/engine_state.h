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
