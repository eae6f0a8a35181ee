// Drawing itself: what a sprite or a line of text puts into the back buffer, at once. The SDL
// device (engine/sdl_device.cpp) calls these for the TSL classes when a frame goes straight to
// the back buffer, the frame (engine/frame/) when it draws what it noted; neither path goes
// through the other.
#pragma once

#include "engine/tessel.h"
#include "engine/view.h"

// An axis-aligned rectangle in logical units.
struct TSLQuad {
    float left, bottom, right, top;
};

// Where the sprite would draw: false when it would draw nothing (hidden, without a picture, or
// outside the view).
bool tslSpriteQuad(const TSLPolygon& sprite, TSLQuad* quad);
// The material's picture stretched over the quad.
void tslDrawSprite(const TSLMaterial& material, const TSLQuad& quad);
// One line of text in the font's colour, from its atlas texture, bottom-left corner at (x, y).
void tslDrawText(const TSLMaterial& font, unsigned atlas, float x, float y, const char* text);
