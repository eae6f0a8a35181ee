// Sprites: textured quads centred on their position.
#include <SDL.h>
#include <GL/gl.h>

#include "engine/engine_state.h"

TSLPolygon::TSLPolygon(float x, float y, float depth, float width, float height, float)
    : x(x), y(y), depth(depth), width(width), height(height) {}

TSLPolygon::~TSLPolygon() = default;

// A material whose picture could not be loaded leaves the sprite blank rather than a
// coloured box over the scene.
void TSLPolygon::Render() {
    if (!visible || !material || !material->texture || !tslCanDraw())
        return;
    material->Apply();
    const float halfWidth = width / 2;
    const float halfHeight = height / 2;
    tslDrawQuad(x - halfWidth, y - halfHeight, x + halfWidth, y + halfHeight, 0, 1, 1, 0);
}
