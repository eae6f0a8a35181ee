// Which boxes of the window are drawn again after a change, worked out by hand on 8-pixel tiles
// of a 100 x 36 window (13 columns, the last 4 pixels wide; 5 rows, the top one 4 tall).
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "engine/damage.h"

struct Drawing {
    TSLPixelBox box;
    std::uint64_t look;
};

static TSLTileLooks frameOf(std::initializer_list<Drawing> drawings) {
    TSLTileLooks tiles;
    tslResetTiles(tiles, 100, 36);
    for (const Drawing& drawing : drawings)
        tslMarkTiles(tiles, drawing.box, drawing.look);
    return tiles;
}

static std::vector<std::vector<int>> changed(const TSLTileLooks& before, const TSLTileLooks& now) {
    std::vector<std::vector<int>> boxes;
    for (const TSLPixelBox& b : tslChangedBoxes(before, now))
        boxes.push_back({b.left, b.bottom, b.right, b.top});
    return boxes;
}

TEST(Damage, ChangedTilesBecomeDisjointBoxesCutToTheWindow) {
    const Drawing backdrop{{0, 0, 100, 36}, 1};
    const Drawing red{{2, 3, 12, 14}, 2}, blue{{5, 5, 20, 10}, 3};
    using Boxes = std::vector<std::vector<int>>;
    // Unchanged: nothing.
    EXPECT_EQ(changed(frameOf({backdrop, red}), frameOf({backdrop, red})), Boxes{});
    // Moved four tiles right: both places, in whole tiles.
    EXPECT_EQ(changed(frameOf({backdrop, red}), frameOf({backdrop, {{34, 3, 44, 14}, 2}})),
              (Boxes{{0, 0, 16, 16}, {32, 0, 48, 16}}));
    // Same place, other look; a box reaching past the corner is cut to the window.
    EXPECT_EQ(changed(frameOf({{{97, 33, 120, 50}, 4}}), frameOf({{{97, 33, 120, 50}, 5}})),
              (Boxes{{96, 32, 100, 36}}));
    // Two rows of the very same columns make one box; an L makes two.
    EXPECT_EQ(changed(frameOf({}), frameOf({{{20, 4, 30, 20}, 6}})), (Boxes{{16, 0, 32, 24}}));
    EXPECT_EQ(changed(frameOf({}), frameOf({{{4, 4, 20, 12}, 6}, {{4, 20, 8, 24}, 6}})),
              (Boxes{{0, 0, 24, 16}, {0, 16, 8, 24}}));
    // Drawn in the other order: where they overlap the picture differs.
    EXPECT_EQ(changed(frameOf({backdrop, red, blue}), frameOf({backdrop, blue, red})),
              (Boxes{{0, 0, 16, 16}}));
}
