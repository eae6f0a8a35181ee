// Sprites: textured quads centred on their position.
#include <GL/gl.h>
#include <SDL.h>

#include "engine/engine_state.h"
#include "engine/view_picture.h"

TSLPolygon::TSLPolygon(float x, float y, float depth, float width, float height, float)
    : x(x), y(y), depth(depth), width(width), height(height) {}

TSLPolygon::~TSLPolygon() = default;

// A material whose picture could not be loaded leaves the sprite blank rather than a
// coloured box over the scene. Most of the game's sprites wait far outside the view; they are
// dropped here, before any GL call.
void TSLPolygon::Render() {
    if (!visible || !material || !material->texture || !tslCanDraw())
        return;
    const float halfWidth = width / 2;
    const float halfHeight = height / 2;
    const float left = x - halfWidth;
    const float bottom = y - halfHeight;
    const float right = x + halfWidth;
    const float top = y + halfHeight;
    if (tslOutsideView(left, bottom, right, top))
        return;
    tslSettleClear(material->Opaque() && tslCoversView(left, bottom, right, top));
    material->Apply();
    if (material->renderMode != GL_ALPHA_TEST && tslIsView(left, bottom, right, top)) {
        if (const unsigned copy = tslViewSizedTexture(*material)) {
            glBindTexture(GL_TEXTURE_2D, copy);
            // Window rows run bottom up, as the copy was drawn.
            tslDrawQuad(left, bottom, right, top, 0, 0, 1, 1);
            return;
        }
        material->Apply();
    }
    tslDrawQuad(left, bottom, right, top, 0, 1, 1, 0);
}
