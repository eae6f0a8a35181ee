// Text drawn with the game's own bitmap font from a texture atlas.
#include <GL/gl.h>
#include <SDL.h>

#include <cmath>

#include "engine/engine_state.h"
#include "engine/frame_record.h"
#include "engine/raster_font.h"
#include "engine/texture.h"

namespace {
// Each texel of the font lands on exactly one window pixel, centre on centre. Linear filtering
// then samples texel centres only and draws the very dots nearest filtering draws, in the state
// the sprites use: a software renderer builds code for each state before the first frame shows.
// Scaled or shifted by a fraction, linear filtering would blur the dots; nearest keeps them.
bool onWholePixels(float x, float y) {
    const TSLEngineState& state = tslEngine();
    const double* view = state.ortho;
    return state.windowWidth == view[1] - view[0] && state.windowHeight == view[3] - view[2] &&
           x - view[0] == std::floor(x - view[0]) && y - view[2] == std::floor(y - view[2]);
}
} // namespace

TSLText::TSLText() : TSLMaterial("Font", 1, 1, 1, 1, nullptr) {}

TSLText::~TSLText() {
    if (fontBase && tslCanDraw())
        glDeleteTextures(1, &fontBase);
}

void TSLText::MakeRasterFont() {
    if (fontBase || !tslCanDraw())
        return;
    const std::vector<unsigned char> atlas = buildFontAtlas();
    fontBase = tslUploadRgbaTexture(atlas.data(), fontAtlasWidth, fontAtlasHeight, false);
    fontSmooth = false;
}

void TSLText::PrintText(float x, float y, const char* text) {
    if (!text)
        text = "";
    if (!tslReplaying())
        tslEngine().printedTexts.push_back({x, y, text});
    if (!fontBase || !tslCanDraw() || tslRecordText(*this, fontBase, x, y, text))
        return;
    tslSettleClear(false);
    Apply();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, fontBase);
    if (onWholePixels(x, y) != fontSmooth) {
        fontSmooth = !fontSmooth;
        const GLint filter = fontSmooth ? GL_LINEAR : GL_NEAREST;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    }
    const float cellS = float(fontCellWidth) / fontAtlasWidth;
    const float cellT = float(fontCellHeight) / fontAtlasHeight;
    float left = x;
    for (const char* p = text; *p; ++p, left += fontAdvance) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == ' ')
            continue;
        const int cell = glyphAtlasCell(c);
        const float s0 = (cell % fontAtlasColumns) * cellS;
        const float top = (cell / fontAtlasColumns) * cellT;
        tslDrawQuad(left, y, left + fontCellWidth, y + fontCellHeight, s0, top + cellT, s0 + cellS,
                    top);
    }
}
