// Every mixer call the game makes, passed on to the library opened at run time.
// Each function has the name and type its header declares, so callers see no difference.
#include "engine/sound_library.h"

#include <SDL_mixer.h>

#include "loader/late_library.h"

namespace {
// Function-local statics: the first caller opens the library, any others wait for it.
void* mixerLibrary() {
    static void* const handle = openLateLibrary(ORBELLE_MIXER_SONAME);
    return handle;
}

template <class Function> Function lookUp(const char* name) {
    return reinterpret_cast<Function>(lateFunction(mixerLibrary(), name));
}
} // namespace

bool TSLLoadSoundLibraries() {
    return mixerLibrary() != nullptr;
}

// Defines function(params) to call the library's own, or to give failed when it is missing.
#define ORBELLE_PASS_ON(result, function, params, args, failed)                                    \
    result function params {                                                                       \
        static const auto own = lookUp<result(*) params>(#function);                               \
        return own ? own args : static_cast<result>(failed);                                       \
    }
#define ORBELLE_PASS_ON_VOID(function, params, args)                                               \
    void function params {                                                                         \
        static const auto own = lookUp<void(*) params>(#function);                                 \
        if (own)                                                                                   \
            own args;                                                                              \
    }

extern "C" {
ORBELLE_PASS_ON(int, Mix_OpenAudio, (int frequency, Uint16 format, int channels, int chunksize),
                (frequency, format, channels, chunksize), -1)
ORBELLE_PASS_ON(Mix_Chunk*, Mix_LoadWAV_RW, (SDL_RWops * source, int freeSource),
                (source, freeSource), nullptr)
ORBELLE_PASS_ON_VOID(Mix_FreeChunk, (Mix_Chunk * chunk), (chunk))
ORBELLE_PASS_ON(int, Mix_PlayChannelTimed, (int channel, Mix_Chunk* chunk, int loops, int ticks),
                (channel, chunk, loops, ticks), -1)
ORBELLE_PASS_ON(int, Mix_Playing, (int channel), (channel), 0)
ORBELLE_PASS_ON(Mix_Music*, Mix_LoadMUS, (const char* file), (file), nullptr)
ORBELLE_PASS_ON_VOID(Mix_FreeMusic, (Mix_Music * music), (music))
ORBELLE_PASS_ON(int, Mix_PlayMusic, (Mix_Music * music, int loops), (music, loops), -1)
ORBELLE_PASS_ON(int, Mix_HaltMusic, (), (), 0)
ORBELLE_PASS_ON(int, Mix_PlayingMusic, (), (), 0)
ORBELLE_PASS_ON_VOID(Mix_PauseMusic, (), ())
ORBELLE_PASS_ON_VOID(Mix_ResumeMusic, (), ())
ORBELLE_PASS_ON(int, Mix_VolumeMusic, (int volume), (volume), 0)
ORBELLE_PASS_ON(int, Mix_Volume, (int channel, int volume), (channel, volume), 0)
}
