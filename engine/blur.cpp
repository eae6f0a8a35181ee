// The full-screen overlay as the game holds it; its drawing is engine/overlay.cpp.
#include <algorithm>

#include "engine/device.h"
#include "engine/engine_state.h"
#include "engine/overlay.h"

TSLBlur::TSLBlur(float x, float y, float depth, float width, float height, float unused,
                 int textureSize)
    : TSLPolygon(x, y, depth, width, height, unused), overlayMaterial("Blur", 1, 1, 1, 1, nullptr),
      textureSize(textureSize), capture(new TSLOverlayCapture) {
    material = &overlayMaterial;
    tslEngine().overlays.push_back(this);
}

TSLBlur::~TSLBlur() {
    std::vector<TSLBlur*>& overlays = tslEngine().overlays;
    overlays.erase(std::remove(overlays.begin(), overlays.end(), this), overlays.end());
    tslDevice().DropOverlayCapture(*capture);
}

void TSLBlur::Render(int windowWidth, int windowHeight) {
    if (visible && material && windowWidth > 0 && windowHeight > 0)
        tslDevice().RenderOverlay(*this, windowWidth, windowHeight);
}
