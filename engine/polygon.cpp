// Sprites: textured quads centred on their position.
#include <GL/gl.h>
#include <SDL.h>

#include <cmath>

#include "engine/engine_state.h"
#include "engine/frame_record.h"

namespace {
// Below this many window pixels per texel the visible bands' margins no longer cover the reach
// of filtering; such sprites are small anyway.
const double bandPixelsPerTexel = 0.5;

bool worthDrawingInBands(const TSLPolygon& sprite) {
    const TSLMaterial& material = *sprite.material;
    if (material.visibleBands.empty() || material.renderMode == GL_ALPHA_TEST ||
        material.Opaque() || tslEngine().layeredDrawing || !tslEngine().statesPrepared)
        return false;
    const double wide = std::fabs(tslPixelX(sprite.width) - tslPixelX(0));
    const double tall = std::fabs(tslPixelY(sprite.height) - tslPixelY(0));
    return wide >= bandPixelsPerTexel * material.textureWidth &&
           tall >= bandPixelsPerTexel * material.textureHeight;
}

// The whole quad, scissored to each band in turn: every pixel of the quad is either drawn once,
// exactly as without the scissor, or lies where the texture is fully transparent. Neighbouring
// bands share their edge row, so none overlap.
void drawInBands(const TSLMaterial& material, float left, float bottom, float right, float top) {
    glEnable(GL_SCISSOR_TEST);
    for (const TSLVisibleBand& band : material.visibleBands) {
        const double x0 = tslPixelX(left + band.s0 * (right - left));
        const double x1 = tslPixelX(left + band.s1 * (right - left));
        const long y0 = std::lround(tslPixelY(top - band.t0 * (top - bottom)));
        const long y1 = std::lround(tslPixelY(top - band.t1 * (top - bottom)));
        if (tslScissor(int(std::floor(std::fmin(x0, x1))) - 1, int(std::fmin(y0, y1)),
                       int(std::ceil(std::fmax(x0, x1))) + 1, int(std::fmax(y0, y1))))
            tslDrawQuad(left, bottom, right, top, 0, 1, 1, 0);
    }
    tslRestoreScissor();
}
} // namespace

TSLPolygon::TSLPolygon(float x, float y, float depth, float width, float height, float)
    : x(x), y(y), depth(depth), width(width), height(height) {}

TSLPolygon::~TSLPolygon() = default;

// A material whose picture could not be loaded leaves the sprite blank rather than a
// coloured box over the scene. Most of the game's sprites wait far outside the view; they are
// dropped here, before any GL call.
bool tslSpriteQuad(const TSLPolygon& sprite, float* left, float* bottom, float* right, float* top) {
    if (!sprite.visible || !sprite.material || !sprite.material->texture)
        return false;
    *left = sprite.x - sprite.width / 2;
    *bottom = sprite.y - sprite.height / 2;
    *right = sprite.x + sprite.width / 2;
    *top = sprite.y + sprite.height / 2;
    return !tslOutsideView(*left, *bottom, *right, *top);
}

void TSLPolygon::Render() {
    float left, bottom, right, top;
    if (!tslCanDraw() || tslRecordSprite(*this) ||
        !tslSpriteQuad(*this, &left, &bottom, &right, &top))
        return;
    tslSettleClear(material->Opaque() && tslCoversView(left, bottom, right, top));
    material->Apply();
    if (worthDrawingInBands(*this))
        drawInBands(*material, left, bottom, right, top);
    else
        tslDrawQuad(left, bottom, right, top, 0, 1, 1, 0);
}
