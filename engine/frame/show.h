// Showing a noted frame: drawn again only inside the boxes of tiles that changed, then only
// those boxes copied to the window.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/frame/tiles.h"

// Draws and shows the noted frame; windowKept: the window shows what the back buffer holds, so
// only what changed needs drawing. Afterwards it does.
void tslShowNotedFrame(bool windowKept);
// A noted frame with a single overlay, noted in the tiles of what lies beneath it and above it;
// the boxes drawn again.
std::vector<TSLPixelBox> tslShowWithOverlay(const TSLTileLooks& scene, const TSLTileLooks& above,
                                            std::size_t overlayAt, bool windowKept);
