#include "engine/alsa_quiet.h"

#include <dlfcn.h>

namespace {
// ALSA's handler type is variadic; a handler that ignores everything needs no arguments.
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

using ErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using SetErrorHandler = int (*)(ErrorHandler);
} // namespace

// SDL loads ALSA itself at run time, so the game does not link it: look it up the same way.
// The library stays loaded for the life of the process, as the handler must.
void silenceAlsaErrors() {
    static bool done = false;
    if (done)
        return;
    done = true;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa)
        return;
    auto setHandler = reinterpret_cast<SetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (setHandler)
        setHandler(ignoreAlsaError);
}
