#include "engine/framebuffer.h"

#include <SDL.h>

#include <cstdlib>

#include "engine/texture.h"

namespace {
template <typename Call> void lookUp(Call& call, const char* name) {
    call = reinterpret_cast<Call>(SDL_GL_GetProcAddress(name));
}
} // namespace

const TSLFramebufferCalls& tslFramebufferCalls() {
    static const TSLFramebufferCalls calls = [] {
        TSLFramebufferCalls found;
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        if (!version || std::atoi(version) < 3)
            return found;
        lookUp(found.gen, "glGenFramebuffers");
        lookUp(found.bind, "glBindFramebuffer");
        lookUp(found.attach, "glFramebufferTexture2D");
        lookUp(found.status, "glCheckFramebufferStatus");
        lookUp(found.remove, "glDeleteFramebuffers");
        lookUp(found.blit, "glBlitFramebuffer");
        found.usable =
            found.gen && found.bind && found.attach && found.status && found.remove && found.blit;
        return found;
    }();
    return calls;
}

unsigned tslNewTextureTarget(int width, int height, GLenum format, bool smooth, unsigned* texture) {
    *texture = 0;
    const TSLFramebufferCalls& fb = tslFramebufferCalls();
    if (!fb.usable || width <= 0 || height <= 0)
        return 0;
    GLuint picture = tslNewTexture(smooth);
    const GLenum layout = format == tslRgb8 ? GL_RGB : GL_RGBA;
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, layout, GL_UNSIGNED_BYTE, nullptr);
    GLuint target = 0;
    fb.gen(1, &target);
    fb.bind(tslFramebuffer, target);
    fb.attach(tslFramebuffer, tslColourAttachment, GL_TEXTURE_2D, picture, 0);
    if (fb.status(tslFramebuffer) != tslFramebufferComplete) {
        fb.bind(tslFramebuffer, 0);
        fb.remove(1, &target);
        glDeleteTextures(1, &picture);
        return 0;
    }
    *texture = picture;
    return target;
}

void tslCopyPicture(unsigned from, unsigned to, int width, int height, int toWidth, int toHeight) {
    const TSLFramebufferCalls& fb = tslFramebufferCalls();
    fb.bind(tslReadFramebuffer, from);
    fb.bind(tslDrawFramebuffer, to);
    const bool scaled = toWidth != width || toHeight != height;
    fb.blit(0, 0, width, height, 0, 0, toWidth, toHeight, GL_COLOR_BUFFER_BIT,
            scaled ? GL_LINEAR : GL_NEAREST);
    fb.bind(tslFramebuffer, 0);
}

void tslCopyBox(unsigned from, unsigned to, int left, int bottom, int right, int top, int shrink) {
    const TSLFramebufferCalls& fb = tslFramebufferCalls();
    fb.bind(tslReadFramebuffer, from);
    fb.bind(tslDrawFramebuffer, to);
    fb.blit(left, bottom, right, top, left / shrink, bottom / shrink, right / shrink, top / shrink,
            GL_COLOR_BUFFER_BIT, shrink > 1 ? GL_LINEAR : GL_NEAREST);
    fb.bind(tslFramebuffer, 0);
}
