// Text drawn with the game's own bitmap font from a texture atlas.
#include <GL/gl.h>
#include <SDL.h>

#include "engine/engine_state.h"
#include "engine/frame_record.h"
#include "engine/raster_font.h"
#include "engine/texture.h"

TSLText::TSLText() : TSLMaterial("Font", 1, 1, 1, 1, nullptr) {}

TSLText::~TSLText() {
    if (fontBase && tslCanDraw())
        glDeleteTextures(1, &fontBase);
}

void TSLText::MakeRasterFont() {
    if (fontBase || !tslCanDraw())
        return;
    const std::vector<unsigned char> atlas = buildFontAtlas();
    // Nearest filtering keeps the dots sharp at the window's own size.
    fontBase = tslUploadRgbaTexture(atlas.data(), fontAtlasSize, fontAtlasSize, false);
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
    const float cellS = float(fontCellWidth) / fontAtlasSize;
    const float cellT = float(fontCellHeight) / fontAtlasSize;
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
