#include "engine/frame_record.h"

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/damage.h"
#include "engine/engine_state.h"
#include "engine/raster_font.h"
#include "engine/sub_buffer.h"

namespace {
enum DrawKind { spriteDraw = 1, textDraw, overlayDraw };

struct NotedDraw {
    DrawKind kind = spriteDraw;
    TSLPolygon sprite{0, 0, 0, 0, 0, 0}; // as it stood when drawn
    TSLBlur* overlay = nullptr;
    TSLText* font = nullptr;
    float x = 0, y = 0;
    std::string text;
    TSLPixelBox box{0, 0, 0, 0}; // every pixel the drawing may touch
    std::uint64_t look = 0;      // everything that decides those pixels
};

struct FrameRecord {
    bool noting = false;
    bool replaying = false;
    bool backKept = false; // the back buffer holds the frame last shown
    std::vector<NotedDraw> draws;
    TSLTileLooks shown; // tiles of the frame last shown
    bool overlayShown = false;
    double shownOrtho[4] = {0, 0, 0, 0};
};

// More changed than this share of the window is drawn in one piece.
const double wholeFrameShare = 0.5;

FrameRecord& frameRecord() {
    static FrameRecord record;
    return record;
}

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

bool overlaps(const TSLPixelBox& a, const TSLPixelBox& b) {
    return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

void replay(NotedDraw& draw) {
    if (draw.kind == spriteDraw)
        draw.sprite.Render();
    else if (draw.kind == textDraw)
        draw.font->PrintText(draw.x, draw.y, draw.text.c_str());
    else
        draw.overlay->Render(int(draw.x), int(draw.y));
}

// The frame, drawn in full but only where box lets it land.
void drawWithin(const TSLPixelBox& box, bool wholeWindow) {
    TSLEngineState& state = tslEngine();
    FrameRecord& record = frameRecord();
    state.clip = box;
    tslRestoreScissor();
    state.clearPending = true;
    for (NotedDraw& draw : record.draws)
        if (wholeWindow || overlaps(draw.box, box))
            replay(draw);
    tslSettleClear(false);
    state.clip = {0, 0, state.windowWidth, state.windowHeight};
    tslRestoreScissor();
}

// The window lost some of what it showed (another window lay over it); SDL reports that as an
// expose event, which nothing else in the game wants.
bool windowExposed() {
    SDL_Event event;
    bool exposed = false;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_VIDEOEXPOSEMASK) > 0)
        exposed = true;
    return exposed;
}

std::vector<TSLPixelBox> boxesToDraw(const TSLTileLooks& now, bool overlay) {
    const TSLEngineState& state = tslEngine();
    const FrameRecord& record = frameRecord();
    const TSLPixelBox window{0, 0, state.windowWidth, state.windowHeight};
    const bool sameView = std::equal(state.ortho, state.ortho + 4, record.shownOrtho) &&
                          record.shown.width == now.width && record.shown.height == now.height;
    if (windowExposed() || !record.backKept || !sameView || overlay || record.overlayShown)
        return {window};
    std::vector<TSLPixelBox> boxes = tslChangedBoxes(record.shown, now);
    double area = 0;
    for (const TSLPixelBox& box : boxes)
        area += double(box.right - box.left) * (box.top - box.bottom);
    if (area > wholeFrameShare * now.width * now.height)
        return {window};
    return boxes;
}
} // namespace

void tslBeginFrameRecord() {
    FrameRecord& record = frameRecord();
    record.draws.clear();
    record.noting = !tslEngine().layeredDrawing && tslCanCopySubBuffer();
}

bool tslReplaying() {
    return frameRecord().replaying;
}

bool tslRecordSprite(const TSLPolygon& sprite) {
    FrameRecord& record = frameRecord();
    float left, bottom, right, top;
    if (!record.noting || record.replaying)
        return false;
    if (!tslSpriteQuad(sprite, &left, &bottom, &right, &top))
        return true; // draws nothing
    NotedDraw draw;
    draw.kind = spriteDraw;
    draw.sprite = sprite;
    draw.box = pixelBox(left, bottom, right, top);
    draw.look = lookOfMaterial(spriteDraw, *sprite.material);
    for (float edge : {left, bottom, right, top})
        draw.look = tslMixLook(draw.look, bitsOf(edge));
    record.draws.push_back(std::move(draw));
    return true;
}

bool tslRecordText(TSLText& font, unsigned atlas, float x, float y, const char* text) {
    FrameRecord& record = frameRecord();
    if (!record.noting || record.replaying)
        return false;
    NotedDraw draw;
    draw.kind = textDraw;
    draw.font = &font;
    draw.x = x;
    draw.y = y;
    draw.text = text;
    const float wide = float(draw.text.size()) * fontAdvance + fontCellWidth;
    draw.box = pixelBox(x, y, x + wide, y + fontCellHeight);
    draw.look = tslMixLook(lookOfMaterial(textDraw, font), atlas);
    draw.look = tslMixLook(tslMixLook(draw.look, bitsOf(x)), bitsOf(y));
    for (char c : draw.text)
        draw.look = tslMixLook(draw.look, std::uint8_t(c));
    record.draws.push_back(std::move(draw));
    return true;
}

bool tslRecordOverlay(TSLBlur& overlay, int windowWidth, int windowHeight) {
    FrameRecord& record = frameRecord();
    if (!record.noting || record.replaying)
        return false;
    NotedDraw draw;
    draw.kind = overlayDraw;
    draw.overlay = &overlay;
    draw.x = float(windowWidth);
    draw.y = float(windowHeight);
    record.draws.push_back(std::move(draw));
    return true;
}

bool tslShowRecordedFrame() {
    FrameRecord& record = frameRecord();
    if (!record.noting)
        return false;
    record.noting = false;
    TSLEngineState& state = tslEngine();
    TSLTileLooks now;
    tslResetTiles(now, state.windowWidth, state.windowHeight);
    bool overlay = false;
    for (const NotedDraw& draw : record.draws) {
        overlay = overlay || draw.kind == overlayDraw;
        tslMarkTiles(now, draw.box, draw.look);
    }
    const std::vector<TSLPixelBox> boxes = boxesToDraw(now, overlay);
    const bool wholeWindow = boxes.size() == 1 && boxes[0].right - boxes[0].left == now.width &&
                             boxes[0].top - boxes[0].bottom == now.height;
    record.replaying = true;
    double area = 0;
    for (const TSLPixelBox& box : boxes) {
        drawWithin(box, wholeWindow);
        area += double(box.right - box.left) * (box.top - box.bottom);
    }
    record.replaying = false;
    for (const TSLPixelBox& box : boxes)
        tslCopySubBuffer(box);
    state.redrawnShare = now.looks.empty() ? 0 : area / (double(now.width) * now.height);
    record.draws.clear();
    record.shown = std::move(now);
    record.overlayShown = overlay;
    std::copy(state.ortho, state.ortho + 4, record.shownOrtho);
    record.backKept = true;
    return true;
}

void tslForgetShownFrame() {
    frameRecord().backKept = false;
}
