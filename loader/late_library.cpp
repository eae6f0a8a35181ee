#include "loader/late_library.h"

#include <dlfcn.h>

void* openLateLibrary(const char* soname) {
    return dlopen(soname, RTLD_LAZY | RTLD_LOCAL);
}

void* lateFunction(void* library, const char* name) {
    void* own = library ? dlsym(library, name) : nullptr;
    // Should a library the program starts with use the same function, the program exports its
    // stand-in and dlsym may find that, which would then call itself for ever.
    Dl_info found, program;
    if (own && dladdr(own, &found) && dladdr(reinterpret_cast<void*>(&lateFunction), &program) &&
        found.dli_fbase == program.dli_fbase)
        return nullptr;
    return own;
}
