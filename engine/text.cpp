// Text drawn with the game's own bitmap font from a texture atlas.
#include <GL/gl.h>

#include "engine/draw.h"
#include "engine/engine_state.h"
#include "engine/frame/frame.h"
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
    fontBase = tslUploadRgbaTexture(atlas.data(), fontAtlasWidth, fontAtlasHeight, false);
}

void TSLText::PrintText(float x, float y, const char* text) {
    if (!text)
        text = "";
    tslEngine().printedTexts.push_back({x, y, text});
    if (!fontBase || !tslCanDraw() || tslNoteText(*this, fontBase, x, y, text))
        return;
    tslDrawText(*this, fontBase, x, y, text);
}
