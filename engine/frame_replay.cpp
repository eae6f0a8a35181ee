#include "engine/frame_replay.h"

#include <GL/gl.h>

#include "engine/engine_state.h"
#include "engine/frame_notes.h"
#include "engine/sub_buffer.h"

namespace {
// More changed than this share of the window is drawn in one piece.
const double wholeFrameShare = 0.5;

void replay(TSLNotedDraw& draw) {
    if (draw.kind == tslSpriteDraw)
        draw.sprite.Render();
    else if (draw.kind == tslTextDraw)
        draw.font->PrintText(draw.x, draw.y, draw.text.c_str());
    else
        draw.overlay->Render(int(draw.x), int(draw.y));
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

void tslDrawWithin(const TSLPixelBox& box, std::size_t first, std::size_t end) {
    std::vector<TSLNotedDraw>& draws = tslFrameNotes().draws;
    for (std::size_t i = first; i < end; ++i)
        if (draws[i].kind == tslOverlayDraw || tslOverlaps(draws[i].box, box))
            replay(draws[i]);
}

void tslDrawFromStart(const TSLPixelBox& box, std::size_t end) {
    tslClipTo(box);
    tslEngine().clearPending = true;
    tslDrawWithin(box, 0, end);
    tslSettleClear(false);
}

void tslCopyToWindow(const std::vector<TSLPixelBox>& boxes) {
    for (const TSLPixelBox& box : boxes)
        tslCopySubBuffer(box);
}
