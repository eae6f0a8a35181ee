// Framebuffer objects, looked up at run time: the system GL header only declares OpenGL 1.x.
#pragma once

#include <GL/gl.h>

#ifndef APIENTRY
#define APIENTRY
#endif

const GLenum tslFramebuffer = 0x8D40;        // GL_FRAMEBUFFER
const GLenum tslReadFramebuffer = 0x8CA8;    // GL_READ_FRAMEBUFFER
const GLenum tslDrawFramebuffer = 0x8CA9;    // GL_DRAW_FRAMEBUFFER
const GLenum tslFramebufferBinding = 0x8CA6; // GL_FRAMEBUFFER_BINDING
const GLenum tslColourAttachment = 0x8CE0;   // GL_COLOR_ATTACHMENT0
const GLenum tslFramebufferComplete = 0x8CD5;
const GLenum tslRgb8 = 0x8051; // GL_RGB8

struct TSLFramebufferCalls {
    void(APIENTRY* gen)(GLsizei, GLuint*) = nullptr;
    void(APIENTRY* bind)(GLenum, GLuint) = nullptr;
    void(APIENTRY* attach)(GLenum, GLenum, GLenum, GLuint, GLint) = nullptr;
    GLenum(APIENTRY* status)(GLenum) = nullptr;
    void(APIENTRY* remove)(GLsizei, const GLuint*) = nullptr;
    void(APIENTRY* blit)(GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLbitfield,
                         GLenum) = nullptr;
    bool usable = false;
};

// Looked up once per process: the game opens a single context for its whole run.
const TSLFramebufferCalls& tslFramebufferCalls();

// A framebuffer drawing into a new texture of the given size and internal format, left bound
// for drawing; 0 (and nothing left over) when the context cannot draw into it. *texture
// receives the texture's name.
unsigned tslNewTextureTarget(int width, int height, GLenum format, bool smooth, unsigned* texture);
// Copies the window-sized picture of framebuffer from into framebuffer to (0: the window),
// scaled to toWidth x toHeight, and leaves the window bound again.
void tslCopyPicture(unsigned from, unsigned to, int width, int height, int toWidth, int toHeight);
// Copies window pixels [left, right) x [bottom, top) of framebuffer from to the same place in
// framebuffer to, shrunk by the whole factor shrink (filtered linearly when above 1), and
// leaves the window bound again.
void tslCopyBox(unsigned from, unsigned to, int left, int bottom, int right, int top,
                int shrink = 1);
