// Showing a noted frame: drawn again only inside the boxes of tiles that changed, then only
// those boxes copied to the window.
#include <SDL.h>

#include <algorithm>

#include "engine/engine_state.h"
#include "engine/frame_notes.h"
#include "engine/frame_record.h"
#include "engine/frame_replay.h"
#include "engine/framebuffer.h"

namespace {
// The window lost some of what it showed (another window lay over it); SDL reports that as an
// expose event, which nothing else in the game wants.
bool windowExposed() {
    SDL_Event event;
    bool exposed = false;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_VIDEOEXPOSEMASK) > 0)
        exposed = true;
    return exposed;
}

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
        tslDrawFromStart(box, notes.draws.size());
    tslCopyToWindow(boxes);
    notes.overlayShown = false;
    return boxes;
}
} // namespace

bool tslShowRecordedFrame() {
    TSLFrameNotes& notes = tslFrameNotes();
    if (!notes.noting)
        return false;
    notes.noting = false;
    TSLEngineState& state = tslEngine();
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
    const bool windowKept = !windowExposed() && notes.backKept && sameView(tiles);
    notes.replaying = true;
    std::vector<TSLPixelBox> boxes;
    if (overlays == 1 && tslFramebufferCalls().usable)
        boxes = tslShowWithOverlay(scene, above, overlayAt, windowKept);
    if (boxes.empty())
        boxes = showPlain(tiles, windowKept && overlays == 0);
    notes.replaying = false;
    state.redrawnShare =
        tiles.looks.empty() ? 0 : tslAreaOf(boxes) / (double(tiles.width) * tiles.height);
    notes.draws.clear();
    notes.shown = std::move(tiles);
    notes.sceneShown = std::move(scene);
    notes.aboveShown = std::move(above);
    std::copy(state.ortho, state.ortho + 4, notes.shownOrtho);
    notes.backKept = true;
    return true;
}

void tslForgetShownFrame() {
    tslFrameNotes().backKept = false;
}
