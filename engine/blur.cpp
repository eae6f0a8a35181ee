// The full-screen overlay: a copy of the frame drawn so far, drawn back softened and tinted.
#include "engine/blur.h"

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>

#include "engine/engine_state.h"
#include "engine/texture.h"

namespace {
// Offsets of the softening passes, in logical units. Linear filtering at these fractional
// offsets averages neighbouring pixels as well, so two passes soften in every direction;
// each extra full-screen pass costs llvmpipe several milliseconds.
const float passOffsets[blurPassCount][2] = {{-1.25f, -0.75f}, {1.25f, 0.75f}};

// RGB only: whatever alpha the frame buffer holds must not thin out the overlay. Its contents
// start undefined: only the captured window area is ever sampled.
unsigned newCaptureTexture(int size) {
    const unsigned name = tslNewTexture(true);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    return name;
}

int powerOfTwoAtLeast(int value) {
    int size = 1;
    while (size < value)
        size *= 2;
    return size;
}
} // namespace

float blurPassAlpha(int pass, int passes, float alpha) {
    alpha = std::min(1.0f, std::max(0.0f, alpha));
    if (passes <= 0)
        return 0;
    const float share = alpha / passes;
    const float below = 1 - (passes - 1 - pass) * share;
    return below > 0 ? share / below : 1;
}

TSLBlur::TSLBlur(float x, float y, float depth, float width, float height, float unused,
                 int textureSize)
    : TSLPolygon(x, y, depth, width, height, unused), overlayMaterial("Blur", 1, 1, 1, 1, nullptr),
      textureSize(textureSize) {
    material = &overlayMaterial;
}

TSLBlur::~TSLBlur() {
    if (captureTexture && tslCanDraw())
        glDeleteTextures(1, &captureTexture);
}

void TSLBlur::Render(int windowWidth, int windowHeight) {
    if (!visible || !material || !tslCanDraw() || windowWidth <= 0 || windowHeight <= 0)
        return;
    // A capture texture smaller than the window would cut the picture off.
    const int needed =
        std::max(textureSize, powerOfTwoAtLeast(std::max(windowWidth, windowHeight)));
    if (!captureTexture || needed != textureSize) {
        if (captureTexture)
            glDeleteTextures(1, &captureTexture);
        textureSize = needed;
        captureTexture = newCaptureTexture(textureSize);
    }
    tslSettleClear(false);
    glBindTexture(GL_TEXTURE_2D, captureTexture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, windowWidth, windowHeight);

    const TSLMaterial& tint = *material;
    tint.Apply();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, captureTexture);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    // Half a texel in from the edges, so linear filtering never reaches past the capture.
    const float s0 = 0.5f / textureSize;
    const float t0 = 0.5f / textureSize;
    const float s1 = (windowWidth - 0.5f) / textureSize;
    const float t1 = (windowHeight - 0.5f) / textureSize;
    const float halfWidth = width / 2;
    const float halfHeight = height / 2;
    for (int pass = 0; pass < blurPassCount; ++pass) {
        glColor4f(std::min(1.0f, tint.diffuse[0]), std::min(1.0f, tint.diffuse[1]),
                  std::min(1.0f, tint.diffuse[2]),
                  blurPassAlpha(pass, blurPassCount, tint.diffuse[3]));
        const float cx = x + passOffsets[pass][0];
        const float cy = y + passOffsets[pass][1];
        tslDrawQuad(cx - halfWidth, cy - halfHeight, cx + halfWidth, cy + halfHeight, s0, t0, s1,
                    t1);
    }
}
