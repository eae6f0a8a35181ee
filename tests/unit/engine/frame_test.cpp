// The frame's decisions that need no window: which boxes of the window a frame draws again,
// and which renderers get partial frames at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/frame/sub_buffer.h"
#include "engine/frame/tiles.h"

static std::string boxesText(const std::vector<TSLPixelBox>& boxes) {
    std::string text;
    for (const TSLPixelBox& b : boxes)
        text += (text.empty() ? "" : " ") + std::to_string(b.left) + "," +
                std::to_string(b.bottom) + "," + std::to_string(b.right) + "," +
                std::to_string(b.top);
    return text;
}

// Tiles of 8 pixels, the last column and row cut short where the window's size is no multiple
// of 8. Each case draws the boxes of the frame before and of this frame, each in a look of its
// own, and takes the boxes drawn again: the changed tiles, or with the tile around each (what
// the overlay's softening needs). Expected boxes worked out by hand, left,bottom,right,top.
TEST(FrameTiles, ChangedTilesBecomeDisjointBoxesWithinTheWindow) {
    const struct {
        const char* name;
        int width, height;
        std::vector<TSLPixelBox> before, now;
        bool around;
        const char* boxes;
    } cases[] = {
        // clang-format off
        {"nothing drawn", 40, 40, {}, {}, false, ""},
        {"drawn the same", 40, 40, {{17, 9, 20, 12}}, {{17, 9, 20, 12}}, true, ""},
        {"one tile", 40, 40, {}, {{17, 9, 20, 12}}, false, "16,8,24,16"},
        {"one tile and those around", 40, 40, {}, {{17, 9, 20, 12}}, true, "8,0,32,24"},
        {"moved", 40, 40, {{1, 1, 2, 2}}, {{17, 1, 18, 2}}, false, "0,0,8,8 16,0,24,8"},
        {"across tile edges", 40, 40, {}, {{6, 6, 10, 10}}, false, "0,0,16,16"},
        {"short last row and column", 20, 13, {}, {{18, 12, 19, 13}}, false, "16,8,20,13"},
        {"around, cut by the window", 20, 13, {}, {{18, 12, 19, 13}}, true, "8,0,20,13"},
        {"the last full row", 24, 24, {}, {{0, 20, 4, 24}}, false, "0,16,8,24"},
        {"partly outside", 24, 24, {}, {{-10, -10, 3, 3}, {30, 30, 40, 40}}, false, "0,0,8,8"},
        {"two runs in a row", 64, 24, {}, {{1, 1, 2, 2}, {50, 1, 51, 2}}, true,
         "0,0,16,16 40,0,64,16"},
        {"equal runs merge up", 48, 24, {}, {{9, 1, 10, 2}, {25, 9, 26, 10}}, true,
         "0,0,40,16 16,16,40,24"},
        // clang-format on
    };
    for (const auto& c : cases) {
        TSLTileLooks before, now;
        tslResetTiles(before, c.width, c.height);
        tslResetTiles(now, c.width, c.height);
        for (const TSLPixelBox& box : c.before)
            tslMarkTiles(before, box, 1);
        for (const TSLPixelBox& box : c.now)
            tslMarkTiles(now, box, 1);
        std::vector<bool> changed = tslChangedTiles(before, now);
        if (c.around)
            changed = tslWithNeighbours(now, changed);
        EXPECT_EQ(boxesText(tslBoxesOfTiles(now, changed)), c.boxes) << c.name;
        if (!c.around) {
            EXPECT_EQ(boxesText(tslChangedBoxes(before, now)), c.boxes) << c.name;
        }
    }
}

// Partial frames only on Mesa's software renderers, by the name GL_RENDERER gives; hardware
// (even where the name mentions LLVM or llvmpipe further in) swaps whole frames.
TEST(FrameRenderer, OnlySoftwareRenderersShowPartsOfTheBackBuffer) {
    const std::pair<const char*, bool> cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"swrast", true},
        {"Software Rasterizer", true},
        {"Gallium 0.4 on llvmpipe (LLVM 3.4, 128 bits)", true},
        {"Gallium 0.4 on AMD TURKS (DRM 2.50.0 / 4.19.0, LLVM 7.0.1)", false},
        {"Mesa DRI Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},
        {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", false},
        {"zink Vulkan 1.3(llvmpipe (LLVM 15.0.6, 256 bits) (MESA_LLVMPIPE))", false},
        {"SVGA3D; build: RELEASE; LLVM;", false},
        {"", false},
        {nullptr, false},
    };
    for (const auto& [renderer, software] : cases)
        EXPECT_EQ(tslDrawsInSoftware(renderer), software) << (renderer ? renderer : "null");
}
