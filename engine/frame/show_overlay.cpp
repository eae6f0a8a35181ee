// Under the overlay every pixel depends on the scene around it (the overlay is a softened copy
// of it). Where a frame with the overlay is drawn again (where the scene changed and a tile
// around, further than softening reaches, and where anything over the overlay changed), the
// scene is drawn first, the capture brought up to date from it, and the overlay and what lies
// over it drawn on top. Elsewhere the back buffer keeps what the window shows.
#include "engine/frame/show.h"

#include <algorithm>
#include <cmath>

#include "engine/frame/draw_notes.h"
#include "engine/frame/notes.h"
#include "engine/overlay.h"

namespace {
// Softening reaches about two pixels beyond the overlay's own offset from the view; a tile
// around each change covers that only while the offset is small.
bool nearlyOverView(const TSLBlur& overlay) {
    const TSLPixelBox window = tslWindowBox();
    const double edges[4] = {tslPixelX(overlay.x - overlay.width / 2),
                             tslPixelY(overlay.y - overlay.height / 2),
                             tslPixelX(overlay.x + overlay.width / 2) - window.right,
                             tslPixelY(overlay.y + overlay.height / 2) - window.top};
    return std::all_of(edges, edges + 4, [](double offset) { return std::fabs(offset) <= 2; });
}

// Where the overlay's frame changed: where the scene changed and a tile around (further than
// softening reaches), and where anything over the overlay changed.
std::vector<TSLPixelBox> changedUnderAndOver(const TSLTileLooks& scene, const TSLTileLooks& above) {
    const TSLFrameNotes& notes = tslFrameNotes();
    std::vector<bool> changed = tslWithNeighbours(scene, tslChangedTiles(notes.sceneShown, scene));
    const std::vector<bool> changedAbove = tslChangedTiles(notes.aboveShown, above);
    for (std::size_t tile = 0; tile < changed.size(); ++tile)
        changed[tile] = changed[tile] || changedAbove[tile];
    return tslBoxesOrWhole(tslBoxesOfTiles(scene, changed), scene);
}

// False when the capture can only be taken whole (the window's size is odd, say).
bool patchCapture(TSLBlur& overlay, const std::vector<TSLPixelBox>& changed) {
    const TSLEngineState& state = tslEngine();
    bool patched = !tslIsWhole(changed);
    for (const TSLPixelBox& box : changed)
        patched = patched &&
                  tslCaptureOverlayAgain(overlay, 0, state.windowWidth, state.windowHeight, box);
    return patched;
}
} // namespace

// The scene is drawn again in every box drawn at all; the capture follows it where it changed,
// which those boxes cover (where it changed more than half, both are the whole window).
std::vector<TSLPixelBox> tslShowWithOverlay(const TSLTileLooks& scene, const TSLTileLooks& above,
                                            std::size_t overlayAt, bool windowKept) {
    TSLFrameNotes& notes = tslFrameNotes();
    TSLNotedDraw& overlay = notes.draws[overlayAt];
    const bool sceneKept = windowKept && notes.overlayShown;
    std::vector<TSLPixelBox> changed = {tslWindowBox()}, boxes = {tslWindowBox()};
    if (sceneKept) {
        changed = tslBoxesOrWhole(tslChangedBoxes(notes.sceneShown, scene), scene);
        if (notes.overlayLook == overlay.look && nearlyOverView(*overlay.overlay))
            boxes = changedUnderAndOver(scene, above);
    }
    for (const TSLPixelBox& box : boxes)
        tslDrawNotesFromStart(box, overlayAt);
    tslClipTo(tslWindowBox());
    if (!patchCapture(*overlay.overlay, changed)) {
        // A whole capture needs the whole scene, not only where it was drawn again.
        if (!tslIsWhole(boxes)) {
            boxes = {tslWindowBox()};
            tslDrawNotesFromStart(boxes[0], overlayAt);
            tslClipTo(tslWindowBox());
        }
        tslCaptureOverlay(*overlay.overlay, 0, tslEngine().windowWidth, tslEngine().windowHeight);
    }
    for (const TSLPixelBox& box : boxes) {
        tslClipTo(box);
        tslDrawCapturedOverlay(*overlay.overlay);
        tslDrawNotesWithin(box, overlayAt + 1, notes.draws.size());
    }
    tslClipTo(tslWindowBox());
    tslShowBoxes(boxes);
    notes.overlayShown = true;
    notes.overlayLook = overlay.look;
    return boxes;
}
