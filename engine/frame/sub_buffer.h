// Showing part of the back buffer: copying a box of it to the window leaves the back buffer as
// it was, so the next frame needs to draw only what changed. A swap would leave its content
// undefined.
#pragma once

#include "engine/engine_state.h"

// True when the GL context draws in software and can copy parts of its back buffer to the
// window; looked up once per process, the game opens a single context for its whole run.
bool tslCanCopySubBuffer();
// True for a GL_RENDERER that draws in software, where showing parts of the back buffer pays;
// a hardware renderer is better served by a swap (and keeps its vsync).
bool tslDrawsInSoftware(const char* renderer);
// Copies the box of the back buffer to the window (finishing the drawing first).
void tslCopySubBuffer(const TSLPixelBox& box);
