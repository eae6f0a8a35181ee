// Drawing a noted frame again inside boxes of the window, shared by the plain frames and those
// with the overlay.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/damage.h"
#include "engine/tessel.h"

bool tslOverlaps(const TSLPixelBox& a, const TSLPixelBox& b);
double tslAreaOf(const std::vector<TSLPixelBox>& boxes);
TSLPixelBox tslWindowBox();
bool tslIsWhole(const std::vector<TSLPixelBox>& boxes);
// The window itself when too much of it changed for pieces to pay.
std::vector<TSLPixelBox> tslBoxesOrWhole(std::vector<TSLPixelBox> boxes, const TSLTileLooks& tiles);
// Drawing lands only inside box (scissored) until the next call.
void tslClipTo(const TSLPixelBox& box);
// Draws noted drawings [first, end), each only where box lets it land.
void tslDrawWithin(const TSLPixelBox& box, std::size_t first, std::size_t end);
// The noted frame up to end, cleared first unless its first drawing hides everything anyway.
void tslDrawFromStart(const TSLPixelBox& box, std::size_t end);
// Copies the boxes of the back buffer to the window.
void tslCopyToWindow(const std::vector<TSLPixelBox>& boxes);

// A noted frame with a single overlay, noted in the tiles of what lies beneath it and above it;
// the boxes drawn again.
std::vector<TSLPixelBox> tslShowWithOverlay(const TSLTileLooks& scene, const TSLTileLooks& above,
                                            std::size_t overlayAt, bool windowKept);
// Goes once through every GL state the overlay's frames use, in the back buffer's corner.
void tslPrepareOverlay(TSLBlur& overlay, const TSLPixelBox& corner);
