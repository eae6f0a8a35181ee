// What a noted frame holds, shared by the files that note frames and show them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/damage.h"
#include "engine/tessel.h"

enum TSLDrawKind { tslSpriteDraw = 1, tslTextDraw, tslOverlayDraw };

struct TSLNotedDraw {
    TSLDrawKind kind = tslSpriteDraw;
    TSLPolygon sprite{0, 0, 0, 0, 0, 0}; // as it stood when drawn
    TSLBlur* overlay = nullptr;
    TSLText* font = nullptr;
    float x = 0, y = 0; // of the text; the window's size for the overlay
    std::string text;
    TSLPixelBox box{0, 0, 0, 0}; // every pixel the drawing may touch
    std::uint64_t look = 0;      // everything that decides those pixels
};

struct TSLFrameNotes {
    bool noting = false;
    bool replaying = false;
    bool backKept = false; // the back buffer holds the frame last shown
    std::vector<TSLNotedDraw> draws;
    double shownOrtho[4] = {0, 0, 0, 0};
    TSLTileLooks shown; // the tiles of the frame last shown, when it had no overlay
    // While the overlay is shown, the tiles of the scene and of what lies over the overlay are
    // noted apart.
    bool overlayShown = false;
    std::uint64_t overlayLook = 0;
    TSLTileLooks sceneShown;
    TSLTileLooks aboveShown;
};

TSLFrameNotes& tslFrameNotes();
