// Noting a frame's drawing: what each drawing would touch and everything that decides its
// pixels, so the frame's end can tell where the frame changed.
#include "engine/frame/frame.h"

#include <cmath>
#include <cstring>

#include "engine/frame/notes.h"
#include "engine/raster_font.h"

namespace {
std::uint64_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::uint64_t lookOfMaterial(std::uint64_t look, const TSLMaterial& material) {
    look = tslMixLook(look, std::uintptr_t(&material));
    look = tslMixLook(look, material.texture);
    look = tslMixLook(look, std::uint64_t(material.renderMode) << 1 | material.opaqueTexture);
    for (float channel : material.diffuse)
        look = tslMixLook(look, bitsOf(channel));
    return look;
}

// The window pixels a logical rectangle may reach, with a pixel to spare on every side.
TSLPixelBox pixelBox(float left, float bottom, float right, float top) {
    const double x0 = tslPixelX(left), x1 = tslPixelX(right);
    const double y0 = tslPixelY(bottom), y1 = tslPixelY(top);
    return {int(std::floor(std::fmin(x0, x1))) - 1, int(std::floor(std::fmin(y0, y1))) - 1,
            int(std::ceil(std::fmax(x0, x1))) + 1, int(std::ceil(std::fmax(y0, y1))) + 1};
}
} // namespace

bool tslNoteSprite(const TSLMaterial& material, const TSLQuad& quad) {
    if (!tslFrameNotes().noting)
        return false;
    TSLNotedDraw draw;
    draw.kind = tslSpriteDraw;
    draw.material = &material;
    draw.quad = quad;
    draw.box = pixelBox(quad.left, quad.bottom, quad.right, quad.top);
    draw.look = lookOfMaterial(tslSpriteDraw, material);
    for (float edge : {quad.left, quad.bottom, quad.right, quad.top})
        draw.look = tslMixLook(draw.look, bitsOf(edge));
    tslFrameNotes().draws.push_back(std::move(draw));
    return true;
}

bool tslNoteText(const TSLMaterial& font, unsigned atlas, float x, float y, const char* text) {
    if (!tslFrameNotes().noting)
        return false;
    TSLNotedDraw draw;
    draw.kind = tslTextDraw;
    draw.material = &font;
    draw.atlas = atlas;
    draw.x = x;
    draw.y = y;
    draw.text = text;
    const float wide = float(draw.text.size()) * fontAdvance + fontCellWidth;
    draw.box = pixelBox(x, y, x + wide, y + fontCellHeight);
    draw.look = tslMixLook(lookOfMaterial(tslTextDraw, font), atlas);
    draw.look = tslMixLook(tslMixLook(draw.look, bitsOf(x)), bitsOf(y));
    for (char c : draw.text)
        draw.look = tslMixLook(draw.look, std::uint8_t(c));
    tslFrameNotes().draws.push_back(std::move(draw));
    return true;
}

bool tslNoteOverlay(TSLBlur& overlay, int windowWidth, int windowHeight) {
    if (!tslFrameNotes().noting)
        return false;
    TSLNotedDraw draw;
    draw.kind = tslOverlayDraw;
    draw.overlay = &overlay;
    draw.x = float(windowWidth);
    draw.y = float(windowHeight);
    draw.look = lookOfMaterial(tslOverlayDraw, *overlay.material);
    for (float value : {overlay.x, overlay.y, overlay.width, overlay.height, draw.x, draw.y})
        draw.look = tslMixLook(draw.look, bitsOf(value));
    tslFrameNotes().draws.push_back(std::move(draw));
    return true;
}
