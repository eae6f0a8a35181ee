#include "engine/overlay.h"

#include <GL/gl.h>

#include <algorithm>

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

int powerOfTwoAtLeast(int value) {
    int size = 1;
    while (size < value)
        size *= 2;
    return size;
}

void captureIntoFramebuffer(TSLOverlayCapture& capture, unsigned from, int windowWidth,
                            int windowHeight) {
    const int shrunkWidth = (windowWidth + captureShrink - 1) / captureShrink;
    const int shrunkHeight = (windowHeight + captureShrink - 1) / captureShrink;
    if (!capture.framebuffer || capture.width != shrunkWidth || capture.height != shrunkHeight) {
        tslDropCapture(capture);
        capture.framebuffer =
            tslNewTextureTarget(shrunkWidth, shrunkHeight, tslRgb8, true, &capture.texture);
        tslFramebufferCalls().bind(tslFramebuffer, 0);
        capture.width = shrunkWidth;
        capture.height = shrunkHeight;
    }
    if (capture.framebuffer)
        tslCopyPicture(from, capture.framebuffer, windowWidth, windowHeight, shrunkWidth,
                       shrunkHeight);
}

// A capture texture smaller than the window would cut the picture off.
void captureIntoTexture(TSLOverlayCapture& capture, int& textureSize, int windowWidth,
                        int windowHeight) {
    const int needed =
        std::max(textureSize, powerOfTwoAtLeast(std::max(windowWidth, windowHeight)));
    if (!capture.texture || needed != textureSize) {
        if (capture.texture)
            glDeleteTextures(1, &capture.texture);
        textureSize = needed;
        capture.texture = tslNewTexture(true);
        // RGB only: whatever alpha the frame buffer holds must not thin out the overlay.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, textureSize, textureSize, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, capture.texture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, windowWidth, windowHeight);
    // Half a texel in from the edges, so linear filtering never reaches past the capture.
    capture.area[0] = capture.area[1] = 0.5f / textureSize;
    capture.area[2] = (windowWidth - 0.5f) / textureSize;
    capture.area[3] = (windowHeight - 0.5f) / textureSize;
}
} // namespace

void tslDropCapture(TSLOverlayCapture& capture) {
    if (capture.framebuffer)
        tslFramebufferCalls().remove(1, &capture.framebuffer);
    if (capture.texture)
        glDeleteTextures(1, &capture.texture);
    capture.framebuffer = capture.texture = 0;
}

void tslCaptureOverlay(TSLBlur& overlay, unsigned from, int windowWidth, int windowHeight) {
    TSLOverlayCapture& capture = *overlay.capture;
    std::fill(capture.area, capture.area + 2, 0.0f);
    std::fill(capture.area + 2, capture.area + 4, 1.0f);
    if (tslFramebufferCalls().usable)
        captureIntoFramebuffer(capture, from, windowWidth, windowHeight);
    if (!capture.framebuffer)
        captureIntoTexture(capture, overlay.textureSize, windowWidth, windowHeight);
}

// Each captured texel averages a 2 x 2 block of window pixels, so a block captured again
// matches the whole capture exactly where the window size is even.
bool tslCaptureOverlayAgain(TSLBlur& overlay, unsigned from, int windowWidth, int windowHeight,
                            const TSLPixelBox& box) {
    const TSLOverlayCapture& capture = *overlay.capture;
    if (!capture.framebuffer || capture.width * captureShrink != windowWidth ||
        capture.height * captureShrink != windowHeight ||
        (box.left | box.bottom | box.right | box.top) % captureShrink != 0)
        return false;
    tslCopyBox(from, capture.framebuffer, box.left, box.bottom, box.right, box.top, captureShrink);
    return true;
}

void tslDrawCapturedOverlay(const TSLBlur& overlay) {
    const TSLMaterial& tint = *overlay.material;
    const float* area = overlay.capture->area;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, overlay.capture->texture);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glColor4f(clampUnit(tint.diffuse[0]), clampUnit(tint.diffuse[1]), clampUnit(tint.diffuse[2]),
              clampUnit(tint.diffuse[3]));
    const float halfWidth = overlay.width / 2.0f, halfHeight = overlay.height / 2.0f;
    tslDrawQuad(overlay.x - halfWidth, overlay.y - halfHeight, overlay.x + halfWidth,
                overlay.y + halfHeight, area[0], area[1], area[2], area[3]);
}

void tslDrawOverlay(TSLBlur& overlay, int windowWidth, int windowHeight) {
    tslSettleClear(false);
    tslCaptureOverlay(overlay, 0, windowWidth, windowHeight);
    tslDrawCapturedOverlay(overlay);
}
