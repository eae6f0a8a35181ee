#include "engine/sub_buffer.h"

#include <GL/glx.h>

#include <cstring>

namespace {
typedef void (*CopySubBuffer)(Display*, GLXDrawable, int, int, int, int);

CopySubBuffer lookUpCopy() {
    Display* display = glXGetCurrentDisplay();
    if (!display || !glXGetCurrentDrawable())
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
} // namespace

bool tslCanCopySubBuffer() {
    return copyCall() != nullptr;
}

void tslCopySubBuffer(const TSLPixelBox& box) {
    copyCall()(glXGetCurrentDisplay(), glXGetCurrentDrawable(), box.left, box.bottom,
               box.right - box.left, box.top - box.bottom);
}
