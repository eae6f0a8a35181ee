// Text drawn with the game's own bitmap font from a texture atlas (made by the device part,
// engine/texture.cpp). Every line printed is kept for the frame, with or without a screen.
#include "engine/device.h"
#include "engine/engine_state.h"

TSLText::TSLText() : TSLMaterial("Font", 1, 1, 1, 1, nullptr) {}

TSLText::~TSLText() {
    if (fontBase)
        tslDevice().DeleteTexture(fontBase);
}

void TSLText::PrintText(float x, float y, const char* text) {
    if (!text)
        text = "";
    tslEngine().printedTexts.push_back({x, y, text});
    if (fontBase)
        tslDevice().PrintText(*this, fontBase, x, y, text);
}
