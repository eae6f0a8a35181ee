#include "engine/sound_library.h"

#include "loader/late_library.h"

const MixerCalls* mixerCalls() {
    static LateLibrary library{ORBELLE_MIXER_SONAME, "no sound or music this run"};
    // A function-local static: the first caller fills the table, any others wait for it.
    static const MixerCalls calls{
        ORBELLE_LIBRARY_CALL(library, Mix_OpenAudio),
        ORBELLE_LIBRARY_CALL(library, Mix_LoadWAV_RW),
        ORBELLE_LIBRARY_CALL(library, Mix_FreeChunk),
        ORBELLE_LIBRARY_CALL(library, Mix_PlayChannelTimed),
        ORBELLE_LIBRARY_CALL(library, Mix_Playing),
        ORBELLE_LIBRARY_CALL(library, Mix_LoadMUS),
        ORBELLE_LIBRARY_CALL(library, Mix_FreeMusic),
        ORBELLE_LIBRARY_CALL(library, Mix_PlayMusic),
        ORBELLE_LIBRARY_CALL(library, Mix_HaltMusic),
        ORBELLE_LIBRARY_CALL(library, Mix_PlayingMusic),
        ORBELLE_LIBRARY_CALL(library, Mix_PauseMusic),
        ORBELLE_LIBRARY_CALL(library, Mix_ResumeMusic),
        ORBELLE_LIBRARY_CALL(library, Mix_VolumeMusic),
        ORBELLE_LIBRARY_CALL(library, Mix_Volume),
    };
    return library.failed ? nullptr : &calls;
}

bool TSLLoadSoundLibraries() {
    return mixerCalls() != nullptr;
}
