// Showing a noted frame: drawn again only inside the boxes of tiles that changed, then only
// those boxes copied to the window.
//
// Under the overlay every pixel depends on the scene around it (the overlay is a softened copy
// of it), so while the overlay is shown the back buffer holds the scene alone, and the overlay
// is drawn over it only for the copy to the window: where the scene changed and a tile around
// (further than softening reaches), and where anything over the overlay changed.
#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "engine/engine_state.h"
#include "engine/frame_notes.h"
#include "engine/frame_record.h"
#include "engine/framebuffer.h"
#include "engine/sub_buffer.h"

namespace {
// More changed than this share of the window is drawn in one piece.
const double wholeFrameShare = 0.5;

bool overlaps(const TSLPixelBox& a, const TSLPixelBox& b) {
    return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

double areaOf(const std::vector<TSLPixelBox>& boxes) {
    double area = 0;
    for (const TSLPixelBox& box : boxes)
        area += double(box.right - box.left) * (box.top - box.bottom);
    return area;
}

TSLPixelBox windowBox() {
    const TSLEngineState& state = tslEngine();
    return {0, 0, state.windowWidth, state.windowHeight};
}

bool isWhole(const std::vector<TSLPixelBox>& boxes) {
    const TSLPixelBox window = windowBox();
    return boxes.size() == 1 && boxes[0].left == 0 && boxes[0].bottom == 0 &&
           boxes[0].right == window.right && boxes[0].top == window.top;
}

// The window itself when too much of it changed for pieces to pay.
std::vector<TSLPixelBox> boxesOrWhole(std::vector<TSLPixelBox> boxes, const TSLTileLooks& tiles) {
    if (areaOf(boxes) > wholeFrameShare * tiles.width * tiles.height)
        return {windowBox()};
    return boxes;
}

void replay(TSLNotedDraw& draw) {
    if (draw.kind == tslSpriteDraw)
        draw.sprite.Render();
    else if (draw.kind == tslTextDraw)
        draw.font->PrintText(draw.x, draw.y, draw.text.c_str());
    else
        draw.overlay->Render(int(draw.x), int(draw.y));
}

void clipTo(const TSLPixelBox& box) {
    tslEngine().clip = box;
    tslRestoreScissor();
}

// Draws [first, end) of the noted drawings, each only where box lets it land.
void drawWithin(const TSLPixelBox& box, std::size_t first, std::size_t end) {
    std::vector<TSLNotedDraw>& draws = tslFrameNotes().draws;
    for (std::size_t i = first; i < end; ++i)
        if (draws[i].kind == tslOverlayDraw || overlaps(draws[i].box, box))
            replay(draws[i]);
}

// A frame from its start, cleared first unless its first drawing hides everything anyway.
void drawFromStart(const TSLPixelBox& box, std::size_t end) {
    clipTo(box);
    tslEngine().clearPending = true;
    drawWithin(box, 0, end);
    tslSettleClear(false);
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

// Last frame showed the same view in a window of the same size.
bool sameView(const TSLTileLooks& tiles) {
    const TSLEngineState& state = tslEngine();
    const TSLFrameNotes& notes = tslFrameNotes();
    return std::equal(state.ortho, state.ortho + 4, notes.shownOrtho) &&
           notes.shown.width == tiles.width && notes.shown.height == tiles.height;
}

void copyToWindow(const std::vector<TSLPixelBox>& boxes) {
    for (const TSLPixelBox& box : boxes)
        tslCopySubBuffer(box);
}

void dropScene(TSLFrameNotes& notes) {
    if (notes.sceneFramebuffer)
        tslFramebufferCalls().remove(1, &notes.sceneFramebuffer);
    if (notes.sceneTexture)
        glDeleteTextures(1, &notes.sceneTexture);
    notes.sceneFramebuffer = notes.sceneTexture = 0;
}

std::vector<TSLPixelBox> showPlain(const TSLTileLooks& tiles, bool windowKept) {
    TSLFrameNotes& notes = tslFrameNotes();
    std::vector<TSLPixelBox> boxes = {windowBox()};
    if (windowKept && !notes.overlayShown)
        boxes = boxesOrWhole(tslChangedBoxes(notes.shown, tiles), tiles);
    for (const TSLPixelBox& box : boxes)
        drawFromStart(box, notes.draws.size());
    copyToWindow(boxes);
    dropScene(notes);
    notes.overlayShown = false;
    return boxes;
}

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
    const TSLPixelBox window = windowBox();
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
    return boxesOrWhole(tslBoxesOfTiles(scene, changed), scene);
}

void captureScene(TSLBlur& overlay, const std::vector<TSLPixelBox>& changed) {
    bool patched = !isWhole(changed);
    for (const TSLPixelBox& box : changed)
        patched =
            patched && overlay.CaptureAgain(0, tslEngine().windowWidth, tslEngine().windowHeight,
                                            box.left, box.bottom, box.right, box.top);
    if (!patched)
        overlay.Capture(0, tslEngine().windowWidth, tslEngine().windowHeight);
}

// While the overlay is shown, the back buffer keeps the scene beneath it alone, brought up to
// date where it changed, and captured from there as the layered drawing does. The overlay and
// what lies over it are drawn on top only for the copy to the window; the scene under them is
// put back afterwards from a store of the whole scene.
std::vector<TSLPixelBox> showWithOverlay(const TSLTileLooks& scene, const TSLTileLooks& above,
                                         std::size_t overlayAt, bool windowKept) {
    TSLFrameNotes& notes = tslFrameNotes();
    TSLNotedDraw& overlay = notes.draws[overlayAt];
    if (!haveSceneStore())
        return {};
    const bool sceneKept = windowKept && notes.overlayShown;
    std::vector<TSLPixelBox> boxes = {windowBox()};
    if (sceneKept)
        boxes = boxesOrWhole(tslChangedBoxes(notes.sceneShown, scene), scene);
    for (const TSLPixelBox& box : boxes)
        drawFromStart(box, overlayAt);
    clipTo(windowBox());
    captureScene(*overlay.overlay, boxes);
    // The store follows the scene where it changed, so it always holds all of it.
    for (const TSLPixelBox& box : boxes)
        tslCopyBox(0, notes.sceneFramebuffer, box.left, box.bottom, box.right, box.top);
    boxes = {windowBox()};
    if (sceneKept && notes.overlayLook == overlay.look && nearlyOverView(*overlay.overlay))
        boxes = changedUnderAndOver(scene, above);
    for (const TSLPixelBox& box : boxes) {
        clipTo(box);
        overlay.overlay->DrawCaptured();
        drawWithin(box, overlayAt + 1, notes.draws.size());
    }
    clipTo(windowBox());
    copyToWindow(boxes);
    for (const TSLPixelBox& box : boxes)
        tslCopyBox(notes.sceneFramebuffer, 0, box.left, box.bottom, box.right, box.top);
    notes.overlayShown = true;
    notes.overlayLook = overlay.look;
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
        boxes = showWithOverlay(scene, above, overlayAt, windowKept);
    if (boxes.empty())
        boxes = showPlain(tiles, windowKept && overlays == 0);
    notes.replaying = false;
    state.redrawnShare =
        tiles.looks.empty() ? 0 : areaOf(boxes) / (double(tiles.width) * tiles.height);
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
