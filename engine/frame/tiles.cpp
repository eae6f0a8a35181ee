#include "engine/frame/tiles.h"

#include <algorithm>

namespace {
const std::uint64_t emptyLook = 0x9e3779b97f4a7c15ULL;

// A run of changed tiles in one row: columns [first, end).
struct TileRun {
    int first, end;
};

std::vector<TileRun> markedRuns(const TSLTileLooks& tiles, const std::vector<bool>& marked,
                                int row) {
    std::vector<TileRun> runs;
    for (int column = 0; column < tiles.columns; ++column) {
        if (!marked[std::size_t(row) * tiles.columns + column])
            continue;
        if (!runs.empty() && runs.back().end == column)
            runs.back().end = column + 1;
        else
            runs.push_back({column, column + 1});
    }
    return runs;
}

TSLPixelBox boxOfRun(const TSLTileLooks& tiles, const TileRun& run, int row) {
    return {run.first * tslTileSize, row * tslTileSize,
            std::min(run.end * tslTileSize, tiles.width),
            std::min((row + 1) * tslTileSize, tiles.height)};
}
} // namespace

void tslResetTiles(TSLTileLooks& tiles, int width, int height) {
    tiles.width = std::max(width, 0);
    tiles.height = std::max(height, 0);
    tiles.columns = (tiles.width + tslTileSize - 1) / tslTileSize;
    tiles.rows = (tiles.height + tslTileSize - 1) / tslTileSize;
    tiles.looks.assign(std::size_t(tiles.columns) * tiles.rows, emptyLook);
}

void tslMarkTiles(TSLTileLooks& tiles, const TSLPixelBox& box, std::uint64_t look) {
    const int left = std::max(box.left, 0), right = std::min(box.right, tiles.width);
    const int bottom = std::max(box.bottom, 0), top = std::min(box.top, tiles.height);
    if (left >= right || bottom >= top)
        return;
    for (int row = bottom / tslTileSize; row <= (top - 1) / tslTileSize; ++row)
        for (int column = left / tslTileSize; column <= (right - 1) / tslTileSize; ++column) {
            std::uint64_t& tile = tiles.looks[std::size_t(row) * tiles.columns + column];
            tile = tslMixLook(tile, look);
        }
}

std::vector<TSLPixelBox> tslChangedBoxes(const TSLTileLooks& before, const TSLTileLooks& now) {
    return tslBoxesOfTiles(now, tslChangedTiles(before, now));
}

std::vector<bool> tslChangedTiles(const TSLTileLooks& before, const TSLTileLooks& now) {
    std::vector<bool> changed(now.looks.size());
    for (std::size_t tile = 0; tile < changed.size(); ++tile)
        changed[tile] = before.looks[tile] != now.looks[tile];
    return changed;
}

std::vector<bool> tslWithNeighbours(const TSLTileLooks& tiles, const std::vector<bool>& marked) {
    std::vector<bool> widened(marked.size());
    for (int row = 0; row < tiles.rows; ++row)
        for (int column = 0; column < tiles.columns; ++column) {
            if (!marked[std::size_t(row) * tiles.columns + column])
                continue;
            for (int r = std::max(row - 1, 0); r <= std::min(row + 1, tiles.rows - 1); ++r)
                for (int c = std::max(column - 1, 0); c <= std::min(column + 1, tiles.columns - 1);
                     ++c)
                    widened[std::size_t(r) * tiles.columns + c] = true;
        }
    return widened;
}

// Runs of marked tiles row by row; a run with the very same columns as one in the row below
// extends that box upwards instead of starting another.
std::vector<TSLPixelBox> tslBoxesOfTiles(const TSLTileLooks& tiles,
                                         const std::vector<bool>& marked) {
    std::vector<TSLPixelBox> boxes;
    std::vector<std::pair<TileRun, std::size_t>> below; // last row's runs and their boxes
    for (int row = 0; row < tiles.rows; ++row) {
        std::vector<std::pair<TileRun, std::size_t>> here;
        for (const TileRun& run : markedRuns(tiles, marked, row)) {
            auto same = std::find_if(below.begin(), below.end(), [&](const auto& b) {
                return b.first.first == run.first && b.first.end == run.end;
            });
            if (same != below.end()) {
                boxes[same->second].top = boxOfRun(tiles, run, row).top;
                here.push_back(*same);
            } else {
                here.push_back({run, boxes.size()});
                boxes.push_back(boxOfRun(tiles, run, row));
            }
        }
        below = std::move(here);
    }
    return boxes;
}

// The finishing step of splitmix64 over the sum: cheap, and every input bit reaches every
// output bit.
std::uint64_t tslMixLook(std::uint64_t look, std::uint64_t value) {
    std::uint64_t z = look * 0x100000001b3ULL + value + emptyLook;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}
