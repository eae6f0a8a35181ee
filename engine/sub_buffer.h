// Showing part of the back buffer: copying a box of it to the window leaves the back buffer as
// it was, so the next frame needs to draw only what changed. A swap would leave its content
// undefined.
#pragma once

#include "engine/damage.h"

// True when the GL context can copy parts of its back buffer to the window; looked up once per
// process, the game opens a single context for its whole run.
bool tslCanCopySubBuffer();
// Copies the box of the back buffer to the window (finishing the drawing first).
void tslCopySubBuffer(const TSLPixelBox& box);
