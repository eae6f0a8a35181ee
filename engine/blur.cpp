// The full-screen overlay: a copy of the frame drawn so far, drawn back softened and tinted.
#include <GL/gl.h>

#include <algorithm>

#include "engine/engine_state.h"
#include "engine/frame_record.h"
#include "engine/framebuffer.h"
#include "engine/texture.h"

namespace {
// The frame is captured at half the window's size: shrinking averages each 2 x 2 block of
// pixels and drawing it back magnified filters linearly again, which softens every edge by a
// couple of pixels in one pass, where softening at full size took two passes and a capture
// several times larger.
const int captureShrink = 2;

float clampUnit(float value) {
    return std::min(1.0f, std::max(0.0f, value));
}

void dropCapture(unsigned& framebuffer, unsigned& texture) {
    if (framebuffer)
        tslFramebufferCalls().remove(1, &framebuffer);
    if (texture)
        glDeleteTextures(1, &texture);
    framebuffer = texture = 0;
}

int powerOfTwoAtLeast(int value) {
    int size = 1;
    while (size < value)
        size *= 2;
    return size;
}
} // namespace

TSLBlur::TSLBlur(float x, float y, float depth, float width, float height, float unused,
                 int textureSize)
    : TSLPolygon(x, y, depth, width, height, unused), overlayMaterial("Blur", 1, 1, 1, 1, nullptr),
      textureSize(textureSize) {
    material = &overlayMaterial;
}

TSLBlur::~TSLBlur() {
    if (tslCanDraw())
        dropCapture(captureFramebuffer, captureTexture);
}

void TSLBlur::Render(int windowWidth, int windowHeight) {
    if (!visible || !material || !tslCanDraw() || windowWidth <= 0 || windowHeight <= 0 ||
        tslRecordOverlay(*this, windowWidth, windowHeight))
        return;
    tslSettleClear(false);
    Capture(0, windowWidth, windowHeight);
    DrawCaptured();
}

void TSLBlur::Capture(unsigned from, int windowWidth, int windowHeight) {
    const int shrunkWidth = (windowWidth + captureShrink - 1) / captureShrink;
    const int shrunkHeight = (windowHeight + captureShrink - 1) / captureShrink;
    // Texture coordinates of the captured area; half a texel in from the edges in a larger
    // texture, so linear filtering never reaches past the capture.
    float* const area = captureArea;
    area[0] = area[1] = 0;
    area[2] = area[3] = 1;
    if (tslFramebufferCalls().usable) {
        if (!captureFramebuffer || captureWidth != shrunkWidth || captureHeight != shrunkHeight) {
            dropCapture(captureFramebuffer, captureTexture);
            captureFramebuffer =
                tslNewTextureTarget(shrunkWidth, shrunkHeight, tslRgb8, true, &captureTexture);
            tslFramebufferCalls().bind(tslFramebuffer, 0);
            captureWidth = shrunkWidth;
            captureHeight = shrunkHeight;
        }
        if (captureFramebuffer)
            tslCopyPicture(from, captureFramebuffer, windowWidth, windowHeight, shrunkWidth,
                           shrunkHeight);
    }
    if (!captureFramebuffer) {
        // A capture texture smaller than the window would cut the picture off.
        const int needed =
            std::max(textureSize, powerOfTwoAtLeast(std::max(windowWidth, windowHeight)));
        if (!captureTexture || needed != textureSize) {
            if (captureTexture)
                glDeleteTextures(1, &captureTexture);
            textureSize = needed;
            captureTexture = tslNewTexture(true);
            // RGB only: whatever alpha the frame buffer holds must not thin out the overlay.
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, textureSize, textureSize, 0, GL_RGB,
                         GL_UNSIGNED_BYTE, nullptr);
        }
        glBindTexture(GL_TEXTURE_2D, captureTexture);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, windowWidth, windowHeight);
        area[0] = area[1] = 0.5f / textureSize;
        area[2] = (windowWidth - 0.5f) / textureSize;
        area[3] = (windowHeight - 0.5f) / textureSize;
    }
}

// Each captured texel averages a 2 x 2 block of window pixels, so a block captured again
// matches the whole capture exactly where the window size is even.
bool TSLBlur::CaptureAgain(unsigned from, int windowWidth, int windowHeight, int left, int bottom,
                           int right, int top) {
    if (!captureFramebuffer || captureWidth * captureShrink != windowWidth ||
        captureHeight * captureShrink != windowHeight ||
        (left | bottom | right | top) % captureShrink != 0)
        return false;
    tslCopyBox(from, captureFramebuffer, left, bottom, right, top, captureShrink);
    return true;
}

void TSLBlur::DrawCaptured() {
    const TSLMaterial& tint = *material;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, captureTexture);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glColor4f(clampUnit(tint.diffuse[0]), clampUnit(tint.diffuse[1]), clampUnit(tint.diffuse[2]),
              clampUnit(tint.diffuse[3]));
    tslDrawQuad(x - width / 2.0f, y - height / 2.0f, x + width / 2.0f, y + height / 2.0f,
                captureArea[0], captureArea[1], captureArea[2], captureArea[3]);
}
