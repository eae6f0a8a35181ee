// The frame: how what is drawn between TSLBeginRender and TSLEndRender reaches the window. The
// rest of the engine reaches engine/frame/ through this header alone; README.md beside it tells
// the design.
#pragma once

#include "engine/draw.h"
#include "engine/tessel.h"

// Starts a frame. Where the frame is shown only where it changed (a software renderer whose
// window keeps its back buffer, and not the reference mode), drawing is noted from now on and
// done at the frame's end; elsewhere it goes straight to the back buffer.
void tslBeginFrame();
// Ends it: draws the noted frame where it changed and shows those parts, or swaps the buffers.
void tslEndFrame();

// True while this frame is noted: the drawing is then noted, to be done at the frame's end.
bool tslNoteSprite(const TSLMaterial& material, const TSLQuad& quad);
bool tslNoteText(const TSLMaterial& font, unsigned atlas, float x, float y, const char* text);
bool tslNoteOverlay(TSLBlur& overlay, int windowWidth, int windowHeight);

// Whether a window event (TSLWindowEvent) asked for the next frame to be drawn whole; asking
// clears it.
bool tslTakeWholeFrameRequest();
// The share of the window the last frame drew again: 1 for a whole frame, 0 when nothing had
// changed. Lets tests see that partial frames happen.
double tslRedrawnShare();
// Goes once through every GL state later frames use and the first did not: the scissor, the
// opaque material (when given) drawn without blending from now on, and every live overlay's, in
// a corner of the back buffer that the frame drawn next draws again.
void tslWarmDrawingStates(const TSLMaterial* opaque);
