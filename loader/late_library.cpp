#include "loader/late_library.h"

#include <dlfcn.h>

#include <cstdio>

namespace {
void reportMissing(LateLibrary& library, const char* reason) {
    if (library.failed)
        return;
    library.failed = true;
    std::fprintf(stderr, "orbelle: cannot open %s (%s): %s\n", library.soname,
                 reason ? reason : "no reason given", library.loss);
}
} // namespace

void* openLateLibrary(LateLibrary& library) {
    if (!library.tried) {
        library.tried = true;
        library.handle = dlopen(library.soname, RTLD_LAZY | RTLD_LOCAL);
        if (!library.handle)
            reportMissing(library, dlerror());
    }
    return library.failed ? nullptr : library.handle;
}

void* lateSymbol(LateLibrary& library, const char* name) {
    void* handle = openLateLibrary(library);
    if (!handle)
        return nullptr;
    dlerror();
    void* found = dlsym(handle, name);
    // A library too old for one of our calls is no use at all: its table stays empty.
    if (!found)
        reportMissing(library, dlerror());
    return library.failed ? nullptr : found;
}
