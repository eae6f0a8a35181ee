// The layers that never move (the backdrop and the light over it) composed once off-screen.
// Each frame copies that picture into the window; the two layers are drawn again only where
// sprites lie between them, as a stencil marks, so no pixel gets the light twice. Each frame
// marks with its own stencil value, so last frame's marks need no clearing: the stencil is
// cleared only when the values run out.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/engine_state.h"
#include "engine/framebuffer.h"

namespace {
struct LayerCache {
    unsigned framebuffer = 0;
    unsigned texture = 0;
    std::vector<double> key; // everything the picture was made from
    GLint mark = 0;          // this frame's stencil value
};

const GLint lastMark = 255;

LayerCache& layerCache() {
    static LayerCache cache;
    return cache;
}

void addToKey(std::vector<double>& key, const TSLPolygon& sprite) {
    const TSLMaterial& material = *sprite.material;
    key.insert(key.end(), {sprite.x, sprite.y, sprite.width, sprite.height, material.diffuse[0],
                           material.diffuse[1], material.diffuse[2], material.diffuse[3],
                           double(material.renderMode), double(material.texture),
                           double(material.viewTexture), double(std::uintptr_t(&material))});
}

std::vector<double> keyOf(const TSLPolygon& back, const TSLPolygon& front) {
    const TSLEngineState& state = tslEngine();
    std::vector<double> key(state.ortho, state.ortho + 4);
    key.push_back(state.windowWidth);
    key.push_back(state.windowHeight);
    addToKey(key, back);
    addToKey(key, front);
    return key;
}

bool coversViewExactly(const TSLPolygon& sprite) {
    float left, bottom, right, top;
    return tslSpriteQuad(sprite, &left, &bottom, &right, &top) &&
           tslIsView(left, bottom, right, top);
}

// The picture depends only on the two layers when the back one hides whatever lies beneath.
bool composable(const TSLPolygon& back, const TSLPolygon& front) {
    const TSLEngineState& state = tslEngine();
    return !state.layeredDrawing && state.stencilBits >= 8 && tslFramebufferCalls().usable &&
           coversViewExactly(back) && back.material->Opaque() && coversViewExactly(front);
}

void dropPicture(LayerCache& cache) {
    if (cache.framebuffer)
        tslFramebufferCalls().remove(1, &cache.framebuffer);
    if (cache.texture)
        glDeleteTextures(1, &cache.texture);
    cache = LayerCache();
}

// Draws both layers into the off-screen picture, exactly as they would land in the window.
bool composePicture(TSLPolygon& back, TSLPolygon& front) {
    LayerCache& cache = layerCache();
    std::vector<double> key = keyOf(back, front);
    if (cache.framebuffer && key == cache.key)
        return true;
    dropPicture(cache);
    TSLEngineState& state = tslEngine();
    cache.framebuffer =
        tslNewTextureTarget(state.windowWidth, state.windowHeight, tslRgba8, false, &cache.texture);
    if (!cache.framebuffer)
        return false;
    const bool clearOwed = state.clearPending;
    state.clearPending = false; // the back layer covers the whole picture
    back.Render();
    front.Render();
    state.clearPending = clearOwed;
    tslFramebufferCalls().bind(tslFramebuffer, 0);
    cache.key = std::move(key);
    cache.mark = lastMark; // the next frame starts on a cleared stencil
    return true;
}

// Marks the pixels the sprites cover in the stencil, by drawing their very quads, inside the
// scissor box around them; false when none of them reaches the window.
bool markSprites(TSLPolygon* const* middle, int count) {
    LayerCache& cache = layerCache();
    if (++cache.mark > lastMark) {
        glClear(GL_STENCIL_BUFFER_BIT);
        cache.mark = 1;
    }
    std::vector<float> quads;
    double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
    for (int i = 0; i < count; ++i) {
        float left, bottom, right, top;
        if (!tslSpriteQuad(*middle[i], &left, &bottom, &right, &top))
            continue;
        quads.insert(quads.end(), {left, bottom, right, top});
        for (double x : {tslPixelX(left), tslPixelX(right)})
            x0 = std::min(x0, x), x1 = std::max(x1, x);
        for (double y : {tslPixelY(bottom), tslPixelY(top)})
            y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    if (quads.empty() || !tslScissor(int(std::floor(x0)) - 1, int(std::floor(y0)) - 1,
                                     int(std::ceil(x1)) + 1, int(std::ceil(y1)) + 1))
        return false;
    glEnable(GL_SCISSOR_TEST);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, cache.mark, 0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    for (std::size_t i = 0; i < quads.size(); i += 4)
        tslDrawQuad(quads[i], quads[i + 1], quads[i + 2], quads[i + 3], 0, 0, 0, 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    return true;
}

void drawEach(TSLPolygon* const* middle, int count) {
    for (int i = 0; i < count; ++i)
        middle[i]->Render();
}

// All three inside this frame's marks. The sprites lie within them anyway; drawing them under
// the same stencil test as the light lets both share one compiled pixel routine.
void drawMarked(TSLPolygon& back, TSLPolygon* const* middle, int count, TSLPolygon& front) {
    glStencilFunc(GL_EQUAL, layerCache().mark, 0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    back.Render();
    drawEach(middle, count);
    front.Render();
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
}
} // namespace

void TSLRenderLayers(TSLPolygon& back, TSLPolygon* const* middle, int count, TSLPolygon& front) {
    if (!tslCanDraw() || !composable(back, front) || !composePicture(back, front)) {
        back.Render();
        drawEach(middle, count);
        front.Render();
        return;
    }
    TSLEngineState& state = tslEngine();
    tslCopyPicture(layerCache().framebuffer, 0, state.windowWidth, state.windowHeight,
                   state.windowWidth, state.windowHeight);
    state.clearPending = false;
    if (!markSprites(middle, count))
        return; // no sprite reaches the window: the picture is the frame
    drawMarked(back, middle, count, front);
}
