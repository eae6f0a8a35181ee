#include "engine/view_picture.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdlib>

#include "engine/engine_state.h"
#include "engine/texture.h"

namespace {
#ifndef APIENTRY
#define APIENTRY
#endif
// Framebuffer objects are core since OpenGL 3.0; the system header only declares 1.x.
const GLenum framebufferTarget = 0x8D40;   // GL_FRAMEBUFFER
const GLenum colourAttachment = 0x8CE0;    // GL_COLOR_ATTACHMENT0
const GLenum framebufferComplete = 0x8CD5; // GL_FRAMEBUFFER_COMPLETE
const GLenum rgba8 = 0x8058;               // GL_RGBA8

struct FramebufferCalls {
    void(APIENTRY* gen)(GLsizei, GLuint*) = nullptr;
    void(APIENTRY* bind)(GLenum, GLuint) = nullptr;
    void(APIENTRY* attach)(GLenum, GLenum, GLenum, GLuint, GLint) = nullptr;
    GLenum(APIENTRY* status)(GLenum) = nullptr;
    void(APIENTRY* remove)(GLsizei, const GLuint*) = nullptr;
    bool usable = false;
};

// Looked up once per process: the game opens a single context for its whole run.
const FramebufferCalls& framebufferCalls() {
    static const FramebufferCalls calls = [] {
        FramebufferCalls found;
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        if (!version || std::atoi(version) < 3)
            return found;
        found.gen =
            reinterpret_cast<decltype(found.gen)>(SDL_GL_GetProcAddress("glGenFramebuffers"));
        found.bind =
            reinterpret_cast<decltype(found.bind)>(SDL_GL_GetProcAddress("glBindFramebuffer"));
        found.attach = reinterpret_cast<decltype(found.attach)>(
            SDL_GL_GetProcAddress("glFramebufferTexture2D"));
        found.status = reinterpret_cast<decltype(found.status)>(
            SDL_GL_GetProcAddress("glCheckFramebufferStatus"));
        found.remove =
            reinterpret_cast<decltype(found.remove)>(SDL_GL_GetProcAddress("glDeleteFramebuffers"));
        found.usable = found.gen && found.bind && found.attach && found.status && found.remove;
        return found;
    }();
    return calls;
}

// Draws the picture over the whole view into a new texture of the window's size, exactly as
// it would land in the window, but unmodulated so the material's colour can change later.
unsigned resample(unsigned picture, int width, int height) {
    const FramebufferCalls& fb = framebufferCalls();
    GLuint copy = tslNewTexture(false);
    glTexImage2D(GL_TEXTURE_2D, 0, rgba8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLuint target = 0;
    fb.gen(1, &target);
    fb.bind(framebufferTarget, target);
    fb.attach(framebufferTarget, colourAttachment, GL_TEXTURE_2D, copy, 0);
    const bool complete = fb.status(framebufferTarget) == framebufferComplete;
    if (complete) {
        const double* o = tslEngine().ortho;
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, picture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        tslDrawQuad(float(o[0]), float(o[2]), float(o[1]), float(o[3]), 0, 1, 1, 0);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    fb.bind(framebufferTarget, 0);
    fb.remove(1, &target);
    if (!complete) {
        glDeleteTextures(1, &copy);
        return 0;
    }
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
    if (!framebufferCalls().usable || state.windowWidth <= 0 || state.windowHeight <= 0)
        return 0;
    material.viewTexture = resample(material.texture, state.windowWidth, state.windowHeight);
    material.viewTextureWidth = state.windowWidth;
    material.viewTextureHeight = state.windowHeight;
    return material.viewTexture;
}
