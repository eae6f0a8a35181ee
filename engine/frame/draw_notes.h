// Drawing a noted frame inside boxes of the window, shared by the plain frames and those with
// the overlay.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/frame/tiles.h"

bool tslOverlaps(const TSLPixelBox& a, const TSLPixelBox& b);
double tslAreaOf(const std::vector<TSLPixelBox>& boxes);
TSLPixelBox tslWindowBox();
bool tslIsWhole(const std::vector<TSLPixelBox>& boxes);
// The window itself when too much of it changed for pieces to pay.
std::vector<TSLPixelBox> tslBoxesOrWhole(std::vector<TSLPixelBox> boxes, const TSLTileLooks& tiles);
// Drawing lands only inside box (scissored) until the next call.
void tslClipTo(const TSLPixelBox& box);
// Draws noted drawings [first, end), each only where box lets it land.
void tslDrawNotesWithin(const TSLPixelBox& box, std::size_t first, std::size_t end);
// The noted frame up to end, cleared first unless its first drawing hides everything anyway.
void tslDrawNotesFromStart(const TSLPixelBox& box, std::size_t end);
// Copies the boxes of the back buffer to the window.
void tslShowBoxes(const std::vector<TSLPixelBox>& boxes);
