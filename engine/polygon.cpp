// Sprites: textured quads centred on their position.
#include "engine/device.h"

TSLPolygon::TSLPolygon(float x, float y, float depth, float width, float height, float)
    : x(x), y(y), depth(depth), width(width), height(height) {}

TSLPolygon::~TSLPolygon() = default;

void TSLPolygon::Render() {
    tslDevice().RenderSprite(*this);
}
