#include "engine/draw.h"

#include <GL/gl.h>

#include <cmath>

#include "engine/engine_state.h"
#include "engine/raster_font.h"
#include "engine/texture.h"

namespace {
// Below this many window pixels per texel the visible bands' margins no longer cover the reach
// of filtering; such sprites are small anyway.
const double bandPixelsPerTexel = 0.5;

bool worthDrawingInBands(const TSLMaterial& material, const TSLQuad& quad) {
    if (material.renderMode == GL_ALPHA_TEST || material.Opaque() || tslEngine().layeredDrawing ||
        !tslEngine().statesWarmed || tslVisibleBands(material.texture).empty())
        return false;
    const double wide = std::fabs(tslPixelX(quad.right) - tslPixelX(quad.left));
    const double tall = std::fabs(tslPixelY(quad.top) - tslPixelY(quad.bottom));
    return wide >= bandPixelsPerTexel * material.textureWidth &&
           tall >= bandPixelsPerTexel * material.textureHeight;
}

// The whole quad, scissored to each band in turn: every pixel of the quad is either drawn once,
// exactly as without the scissor, or lies where the texture is fully transparent. Neighbouring
// bands share their edge row, so none overlap.
void drawInBands(const TSLMaterial& material, const TSLQuad& quad) {
    const float left = quad.left, bottom = quad.bottom, right = quad.right, top = quad.top;
    glEnable(GL_SCISSOR_TEST);
    for (const TSLVisibleBand& band : tslVisibleBands(material.texture)) {
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

// Each texel of the font lands on exactly one window pixel, centre on centre. Linear filtering
// then samples texel centres only and draws the very dots nearest filtering draws, in the state
// the sprites use: a software renderer builds code for each state before the first frame shows.
// Scaled or shifted by a fraction, linear filtering would blur the dots; nearest keeps them.
bool onWholePixels(float x, float y) {
    const TSLEngineState& state = tslEngine();
    const double* view = state.ortho;
    return state.windowWidth == view[1] - view[0] && state.windowHeight == view[3] - view[2] &&
           x - view[0] == std::floor(x - view[0]) && y - view[2] == std::floor(y - view[2]);
}
} // namespace

// A material whose picture could not be loaded leaves the sprite blank rather than a
// coloured box over the scene. Most of the game's sprites wait far outside the view; they are
// dropped here, before any GL call.
bool tslSpriteQuad(const TSLPolygon& sprite, TSLQuad* quad) {
    if (!sprite.visible || !sprite.material || !sprite.material->texture)
        return false;
    *quad = {sprite.x - sprite.width / 2, sprite.y - sprite.height / 2, sprite.x + sprite.width / 2,
             sprite.y + sprite.height / 2};
    return !tslOutsideView(quad->left, quad->bottom, quad->right, quad->top);
}

void tslDrawSprite(const TSLMaterial& material, const TSLQuad& quad) {
    tslSettleClear(material.Opaque() &&
                   tslCoversView(quad.left, quad.bottom, quad.right, quad.top));
    material.Apply();
    if (worthDrawingInBands(material, quad))
        drawInBands(material, quad);
    else
        tslDrawQuad(quad.left, quad.bottom, quad.right, quad.top, 0, 1, 1, 0);
}

// Mesa skips a filter set to what it already is, so setting it for every line costs nothing.
void tslDrawText(const TSLMaterial& font, unsigned atlas, float x, float y, const char* text) {
    tslSettleClear(false);
    font.Apply();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, atlas);
    const GLint filter = onWholePixels(x, y) ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    const float cellS = float(fontCellWidth) / fontAtlasWidth;
    const float cellT = float(fontCellHeight) / fontAtlasHeight;
    float left = x;
    for (const char* p = text; *p; ++p, left += fontAdvance) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == ' ')
            continue;
        const int cell = glyphAtlasCell(c);
        const float s0 = (cell % fontAtlasColumns) * cellS;
        const float top = (cell / fontAtlasColumns) * cellT;
        tslDrawQuad(left, y, left + fontCellWidth, y + fontCellHeight, s0, top + cellT, s0 + cellS,
                    top);
    }
}
