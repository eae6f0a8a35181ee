#include "engine/frame_record.h"

#include <cmath>
#include <cstring>

#include "engine/engine_state.h"
#include "engine/frame_notes.h"
#include "engine/raster_font.h"
#include "engine/sub_buffer.h"

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

bool noting() {
    const TSLFrameNotes& notes = tslFrameNotes();
    return notes.noting && !notes.replaying;
}
} // namespace

TSLFrameNotes& tslFrameNotes() {
    static TSLFrameNotes notes;
    return notes;
}

void tslBeginFrameRecord() {
    TSLFrameNotes& record = tslFrameNotes();
    record.draws.clear();
    record.noting = !tslEngine().layeredDrawing && tslCanCopySubBuffer();
}

bool tslReplaying() {
    return tslFrameNotes().replaying;
}

bool tslRecordSprite(const TSLPolygon& sprite) {
    float left, bottom, right, top;
    if (!noting())
        return false;
    if (!tslSpriteQuad(sprite, &left, &bottom, &right, &top))
        return true; // draws nothing
    TSLNotedDraw draw;
    draw.kind = tslSpriteDraw;
    draw.sprite = sprite;
    draw.box = pixelBox(left, bottom, right, top);
    draw.look = lookOfMaterial(tslSpriteDraw, *sprite.material);
    for (float edge : {left, bottom, right, top})
        draw.look = tslMixLook(draw.look, bitsOf(edge));
    tslFrameNotes().draws.push_back(std::move(draw));
    return true;
}

bool tslRecordText(TSLText& font, unsigned atlas, float x, float y, const char* text) {
    if (!noting())
        return false;
    TSLNotedDraw draw;
    draw.kind = tslTextDraw;
    draw.font = &font;
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

bool tslRecordOverlay(TSLBlur& overlay, int windowWidth, int windowHeight) {
    if (!noting())
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
