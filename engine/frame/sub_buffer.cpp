#include "engine/frame/sub_buffer.h"

#include <GL/glx.h>

#include <cstring>

namespace {
typedef void (*CopySubBuffer)(Display*, GLXDrawable, int, int, int, int);

// Mesa's hardware drivers offer the copy too, but there a swap costs little and keeps vsync.
CopySubBuffer lookUpCopy() {
    Display* display = glXGetCurrentDisplay();
    if (!display || !glXGetCurrentDrawable() ||
        !tslDrawsInSoftware(reinterpret_cast<const char*>(glGetString(GL_RENDERER))))
        return nullptr;
    // The client library knows the call even where the screen cannot do it.
    const char* offered = glXQueryExtensionsString(display, DefaultScreen(display));
    if (!offered || !std::strstr(offered, "GLX_MESA_copy_sub_buffer"))
        return nullptr;
    return reinterpret_cast<CopySubBuffer>(
        glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
}

CopySubBuffer copyCall() {
    static const CopySubBuffer call = lookUpCopy();
    return call;
}

bool startsWith(const char* text, const char* start) {
    return std::strncmp(text, start, std::strlen(start)) == 0;
}
} // namespace

// Mesa's software renderers by the names they give, alone or (until 2019) after "Gallium 0.4
// on ". A name that only holds one of them (zink on lavapipe, a virtual GPU) is not one.
bool tslDrawsInSoftware(const char* renderer) {
    if (!renderer)
        return false;
    const char* const gallium = "Gallium ";
    const char* on = std::strstr(renderer, " on ");
    if (startsWith(renderer, gallium) && on)
        renderer = on + std::strlen(" on ");
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (startsWith(renderer, name))
            return true;
    return false;
}

bool tslCanCopySubBuffer() {
    return copyCall() != nullptr;
}

void tslCopySubBuffer(const TSLPixelBox& box) {
    copyCall()(glXGetCurrentDisplay(), glXGetCurrentDrawable(), box.left, box.bottom,
               box.right - box.left, box.top - box.bottom);
}
