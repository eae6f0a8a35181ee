#include "engine/view_picture.h"

#include <GL/gl.h>

#include "engine/engine_state.h"
#include "engine/framebuffer.h"
#include "engine/texture.h"

namespace {
// Draws the picture over the whole view into a new texture of the window's size, exactly as
// it would land in the window, but unmodulated so the material's colour can change later.
unsigned resample(unsigned picture, int width, int height) {
    const TSLFramebufferCalls& fb = tslFramebufferCalls();
    // Made while the static layers' own picture may be bound: that binding comes back after.
    GLint previous = 0;
    glGetIntegerv(tslFramebufferBinding, &previous);
    GLuint copy = 0;
    GLuint target = tslNewTextureTarget(width, height, tslRgba8, false, &copy);
    if (target) {
        const double* o = tslEngine().ortho;
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, picture);
        // White modulation gives the texels unchanged, in the same GL state as every other
        // picture: one shader variant less to compile at start-up.
        glColor4f(1, 1, 1, 1);
        tslDrawQuad(float(o[0]), float(o[2]), float(o[1]), float(o[3]), 0, 1, 1, 0);
        fb.remove(1, &target);
    }
    fb.bind(tslFramebuffer, GLuint(previous));
    return copy;
}
} // namespace

unsigned tslViewSizedTexture(TSLMaterial& material) {
    const TSLEngineState& state = tslEngine();
    if (material.viewTexture && material.viewTextureWidth == state.windowWidth &&
        material.viewTextureHeight == state.windowHeight)
        return material.viewTexture;
    if (material.viewTexture) {
        glDeleteTextures(1, &material.viewTexture);
        material.viewTexture = 0;
    }
    // Where the static layers are composed once, full-view pictures are drawn in full only
    // then: the copies would cost their memory and save nothing.
    if (!tslFramebufferCalls().usable || state.stencilBits > 0 || state.windowWidth <= 0 ||
        state.windowHeight <= 0)
        return 0;
    material.viewTexture = resample(material.texture, state.windowWidth, state.windowHeight);
    material.viewTextureWidth = state.windowWidth;
    material.viewTextureHeight = state.windowHeight;
    return material.viewTexture;
}
