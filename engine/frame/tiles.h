// Which parts of the window changed from one frame to the next. The window is cut into square
// tiles; every drawing of a frame mixes a summary of its look into the tiles it may touch, in
// drawing order, so a tile whose summary differs from last frame's may show other pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine_state.h"

const int tslTileSize = 8;

struct TSLTileLooks {
    int width = 0; // of the window, in pixels
    int height = 0;
    int columns = 0;
    int rows = 0;
    std::vector<std::uint64_t> looks;
};

// All tiles of a window that size, each with the same look as before anything is drawn.
void tslResetTiles(TSLTileLooks& tiles, int width, int height);
// Mixes look into every tile the box reaches; parts outside the window are ignored.
void tslMarkTiles(TSLTileLooks& tiles, const TSLPixelBox& box, std::uint64_t look);
// Disjoint boxes, cut to the window, that together cover every tile whose look differs
// between the two (of the same window size), in rows from the bottom.
std::vector<TSLPixelBox> tslChangedBoxes(const TSLTileLooks& before, const TSLTileLooks& now);
// The same in steps: which tiles differ (row by row from the bottom), those tiles and their
// neighbours (diagonal ones too), and the disjoint boxes covering the tiles marked.
std::vector<bool> tslChangedTiles(const TSLTileLooks& before, const TSLTileLooks& now);
std::vector<bool> tslWithNeighbours(const TSLTileLooks& tiles, const std::vector<bool>& marked);
std::vector<TSLPixelBox> tslBoxesOfTiles(const TSLTileLooks& tiles,
                                         const std::vector<bool>& marked);
// Folds value into a running summary; the order of the values matters.
std::uint64_t tslMixLook(std::uint64_t look, std::uint64_t value);
