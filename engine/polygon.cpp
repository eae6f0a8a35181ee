// Sprites: textured quads centred on their position.
#include "engine/draw.h"
#include "engine/engine_state.h"
#include "engine/frame/frame.h"

TSLPolygon::TSLPolygon(float x, float y, float depth, float width, float height, float)
    : x(x), y(y), depth(depth), width(width), height(height) {}

TSLPolygon::~TSLPolygon() = default;

void TSLPolygon::Render() {
    TSLQuad quad;
    if (!tslCanDraw() || !tslSpriteQuad(*this, &quad) || tslNoteSprite(*material, quad))
        return;
    tslDrawSprite(*material, quad);
}
