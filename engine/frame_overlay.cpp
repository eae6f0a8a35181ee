// Under the overlay every pixel depends on the scene around it (the overlay is a softened copy
// of it), so while the overlay is shown the back buffer holds the scene alone, and the overlay
// is drawn over it only for the copy to the window: where the scene changed and a tile around
// (further than softening reaches), and where anything over the overlay changed.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "engine/engine_state.h"
#include "engine/frame_notes.h"
#include "engine/frame_record.h"
#include "engine/frame_replay.h"
#include "engine/framebuffer.h"

namespace {
// A copy of the scene, to put back what the overlay was drawn over; made at the overlay's
// first frame, false when the context cannot keep one.
bool haveSceneStore() {
    TSLFrameNotes& notes = tslFrameNotes();
    const TSLEngineState& state = tslEngine();
    if (!notes.sceneFramebuffer)
        notes.sceneFramebuffer = tslNewTextureTarget(state.windowWidth, state.windowHeight,
                                                     tslRgba8, false, &notes.sceneTexture);
    tslFramebufferCalls().bind(tslFramebuffer, 0);
    return notes.sceneFramebuffer != 0;
}

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

void captureScene(TSLBlur& overlay, const std::vector<TSLPixelBox>& changed) {
    bool patched = !tslIsWhole(changed);
    for (const TSLPixelBox& box : changed)
        patched =
            patched && overlay.CaptureAgain(0, tslEngine().windowWidth, tslEngine().windowHeight,
                                            box.left, box.bottom, box.right, box.top);
    if (!patched)
        overlay.Capture(0, tslEngine().windowWidth, tslEngine().windowHeight);
}
} // namespace

void tslDropSceneStore() {
    TSLFrameNotes& notes = tslFrameNotes();
    if (notes.sceneFramebuffer)
        tslFramebufferCalls().remove(1, &notes.sceneFramebuffer);
    if (notes.sceneTexture)
        glDeleteTextures(1, &notes.sceneTexture);
    notes.sceneFramebuffer = notes.sceneTexture = 0;
}

// While the overlay is shown, the back buffer keeps the scene beneath it alone, brought up to
// date where it changed, and captured from there as the layered drawing does. The overlay and
// what lies over it are drawn on top only for the copy to the window; the scene under them is
// put back afterwards from a store of the whole scene.
std::vector<TSLPixelBox> tslShowWithOverlay(const TSLTileLooks& scene, const TSLTileLooks& above,
                                            std::size_t overlayAt, bool windowKept) {
    TSLFrameNotes& notes = tslFrameNotes();
    TSLNotedDraw& overlay = notes.draws[overlayAt];
    if (!haveSceneStore())
        return {};
    const bool sceneKept = windowKept && notes.overlayShown;
    std::vector<TSLPixelBox> boxes = {tslWindowBox()};
    if (sceneKept)
        boxes = tslBoxesOrWhole(tslChangedBoxes(notes.sceneShown, scene), scene);
    for (const TSLPixelBox& box : boxes)
        tslDrawFromStart(box, overlayAt);
    tslClipTo(tslWindowBox());
    captureScene(*overlay.overlay, boxes);
    // The store follows the scene where it changed, so it always holds all of it.
    for (const TSLPixelBox& box : boxes)
        tslCopyBox(0, notes.sceneFramebuffer, box.left, box.bottom, box.right, box.top);
    boxes = {tslWindowBox()};
    if (sceneKept && notes.overlayLook == overlay.look && nearlyOverView(*overlay.overlay))
        boxes = changedUnderAndOver(scene, above);
    for (const TSLPixelBox& box : boxes) {
        tslClipTo(box);
        overlay.overlay->DrawCaptured();
        tslDrawWithin(box, overlayAt + 1, notes.draws.size());
    }
    tslClipTo(tslWindowBox());
    tslCopyToWindow(boxes);
    for (const TSLPixelBox& box : boxes)
        tslCopyBox(notes.sceneFramebuffer, 0, box.left, box.bottom, box.right, box.top);
    notes.overlayShown = true;
    notes.overlayLook = overlay.look;
    return boxes;
}

void tslPrepareOverlay(TSLBlur& overlay, const TSLPixelBox& corner) {
    const TSLEngineState& state = tslEngine();
    const int width = state.windowWidth, height = state.windowHeight;
    if (!overlay.material || width < corner.right || height < corner.top || !haveSceneStore())
        return;
    TSLFrameNotes& notes = tslFrameNotes();
    overlay.Capture(0, width, height);
    overlay.CaptureAgain(0, width, height, corner.left, corner.bottom, corner.right, corner.top);
    tslCopyBox(0, notes.sceneFramebuffer, corner.left, corner.bottom, corner.right, corner.top);
    tslClipTo(corner);
    overlay.DrawCaptured();
    tslClipTo(tslWindowBox());
    tslCopyBox(notes.sceneFramebuffer, 0, corner.left, corner.bottom, corner.right, corner.top);
    tslDropSceneStore();
}
