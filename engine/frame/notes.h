// What the frame keeps: this frame's noted drawing and what the window shows of the last one.
// Shared by the files of engine/frame/ only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/draw.h"
#include "engine/frame/tiles.h"

enum TSLDrawKind { tslSpriteDraw = 1, tslTextDraw, tslOverlayDraw };

struct TSLNotedDraw {
    TSLDrawKind kind = tslSpriteDraw;
    const TSLMaterial* material = nullptr; // of the sprite; the font of the text
    TSLQuad quad{0, 0, 0, 0};              // of the sprite
    TSLBlur* overlay = nullptr;
    unsigned atlas = 0; // the font's texture
    float x = 0, y = 0; // of the text; the window's size for the overlay
    std::string text;
    TSLPixelBox box{0, 0, 0, 0}; // every pixel the drawing may touch
    std::uint64_t look = 0;      // everything that decides those pixels
};

struct TSLFrameNotes {
    bool noting = false;
    std::vector<TSLNotedDraw> draws;
    // The back buffer holds what the window shows, the frame last shown.
    bool backKept = false;
    // The window no longer shows what it was given (another window lay over it) or changed.
    bool wholeAsked = false;
    int framesShown = 0;
    double redrawnShare = 1;
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
