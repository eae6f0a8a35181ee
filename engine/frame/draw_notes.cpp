#include "engine/frame/draw_notes.h"

#include "engine/frame/notes.h"
#include "engine/frame/sub_buffer.h"
#include "engine/overlay.h"

namespace {
// More changed than this share of the window is drawn in one piece.
const double wholeFrameShare = 0.5;

void drawNote(TSLNotedDraw& draw) {
    if (draw.kind == tslSpriteDraw)
        tslDrawSprite(*draw.material, draw.quad);
    else if (draw.kind == tslTextDraw)
        tslDrawText(*draw.material, draw.atlas, draw.x, draw.y, draw.text.c_str());
    else
        tslDrawOverlay(*draw.overlay, int(draw.x), int(draw.y));
}
} // namespace

bool tslOverlaps(const TSLPixelBox& a, const TSLPixelBox& b) {
    return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

double tslAreaOf(const std::vector<TSLPixelBox>& boxes) {
    double area = 0;
    for (const TSLPixelBox& box : boxes)
        area += double(box.right - box.left) * (box.top - box.bottom);
    return area;
}

TSLPixelBox tslWindowBox() {
    const TSLEngineState& state = tslEngine();
    return {0, 0, state.windowWidth, state.windowHeight};
}

bool tslIsWhole(const std::vector<TSLPixelBox>& boxes) {
    const TSLPixelBox window = tslWindowBox();
    return boxes.size() == 1 && boxes[0].left == 0 && boxes[0].bottom == 0 &&
           boxes[0].right == window.right && boxes[0].top == window.top;
}

std::vector<TSLPixelBox> tslBoxesOrWhole(std::vector<TSLPixelBox> boxes,
                                         const TSLTileLooks& tiles) {
    if (tslAreaOf(boxes) > wholeFrameShare * tiles.width * tiles.height)
        return {tslWindowBox()};
    return boxes;
}

void tslClipTo(const TSLPixelBox& box) {
    tslEngine().clip = box;
    tslRestoreScissor();
}

void tslDrawNotesWithin(const TSLPixelBox& box, std::size_t first, std::size_t end) {
    std::vector<TSLNotedDraw>& draws = tslFrameNotes().draws;
    for (std::size_t i = first; i < end; ++i)
        if (draws[i].kind == tslOverlayDraw || tslOverlaps(draws[i].box, box))
            drawNote(draws[i]);
}

void tslDrawNotesFromStart(const TSLPixelBox& box, std::size_t end) {
    tslClipTo(box);
    tslEngine().clearPending = true;
    tslDrawNotesWithin(box, 0, end);
    tslSettleClear(false);
}

void tslShowBoxes(const std::vector<TSLPixelBox>& boxes) {
    for (const TSLPixelBox& box : boxes)
        tslCopySubBuffer(box);
}
