// The mixer, reached through a table of its own functions. It is opened once the first frame
// is shown, not when the game starts: loading it and all it pulls in costs more than drawing
// that frame (loader/late_library.h).
#pragma once

#include <SDL_mixer.h>

struct MixerCalls {
    decltype(&Mix_OpenAudio) openAudio;
    decltype(&Mix_LoadWAV_RW) loadWavRw;
    decltype(&Mix_FreeChunk) freeChunk;
    decltype(&Mix_PlayChannelTimed) playChannelTimed;
    decltype(&Mix_Playing) playing;
    decltype(&Mix_LoadMUS) loadMusic;
    decltype(&Mix_FreeMusic) freeMusic;
    decltype(&Mix_PlayMusic) playMusic;
    decltype(&Mix_HaltMusic) haltMusic;
    decltype(&Mix_PlayingMusic) playingMusic;
    decltype(&Mix_PauseMusic) pauseMusic;
    decltype(&Mix_ResumeMusic) resumeMusic;
    decltype(&Mix_VolumeMusic) volumeMusic;
    decltype(&Mix_Volume) volume;
};

// Every mixer function the engine uses; null when the mixer cannot be opened (said once on
// stderr: the game then plays without sound). The first call opens it.
const MixerCalls* mixerCalls();
// Opens the mixer; true when it is there. Cheap once done.
bool TSLLoadSoundLibraries();
