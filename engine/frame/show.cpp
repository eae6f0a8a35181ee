#include "engine/frame/show.h"

#include <algorithm>

#include "engine/frame/draw_notes.h"
#include "engine/frame/notes.h"
#include "engine/framebuffer.h"

namespace {
// Last frame showed the same view in a window of the same size.
bool sameView(const TSLTileLooks& tiles) {
    const TSLEngineState& state = tslEngine();
    const TSLFrameNotes& notes = tslFrameNotes();
    return std::equal(state.ortho, state.ortho + 4, notes.shownOrtho) &&
           notes.shown.width == tiles.width && notes.shown.height == tiles.height;
}

std::vector<TSLPixelBox> showPlain(const TSLTileLooks& tiles, bool windowKept) {
    TSLFrameNotes& notes = tslFrameNotes();
    std::vector<TSLPixelBox> boxes = {tslWindowBox()};
    if (windowKept && !notes.overlayShown)
        boxes = tslBoxesOrWhole(tslChangedBoxes(notes.shown, tiles), tiles);
    for (const TSLPixelBox& box : boxes)
        tslDrawNotesFromStart(box, notes.draws.size());
    tslShowBoxes(boxes);
    notes.overlayShown = false;
    return boxes;
}
} // namespace

void tslShowNotedFrame(bool windowKept) {
    TSLFrameNotes& notes = tslFrameNotes();
    const TSLEngineState& state = tslEngine();
    // All drawings in the window's tiles; those before a single overlay and those after it
    // also apart.
    TSLTileLooks tiles, scene, above;
    for (TSLTileLooks* each : {&tiles, &scene, &above})
        tslResetTiles(*each, state.windowWidth, state.windowHeight);
    std::size_t overlayAt = notes.draws.size();
    int overlays = 0;
    for (std::size_t i = 0; i < notes.draws.size(); ++i) {
        const TSLNotedDraw& draw = notes.draws[i];
        if (draw.kind == tslOverlayDraw)
            overlayAt = overlays++ ? overlayAt : i;
        tslMarkTiles(tiles, draw.box, draw.look);
        tslMarkTiles(overlays ? above : scene, draw.box, draw.look);
    }
    windowKept = windowKept && sameView(tiles);
    std::vector<TSLPixelBox> boxes;
    if (overlays == 1 && tslFramebufferCalls().usable)
        boxes = tslShowWithOverlay(scene, above, overlayAt, windowKept);
    if (boxes.empty())
        boxes = showPlain(tiles, windowKept && overlays == 0);
    notes.redrawnShare =
        tiles.looks.empty() ? 0 : tslAreaOf(boxes) / (double(tiles.width) * tiles.height);
    notes.shown = std::move(tiles);
    notes.sceneShown = std::move(scene);
    notes.aboveShown = std::move(above);
    std::copy(state.ortho, state.ortho + 4, notes.shownOrtho);
    notes.backKept = true;
}
