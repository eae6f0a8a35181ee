// The audio device, its volumes and the loading of sound samples: the device part's.
#include <SDL.h>

#include <cstdio>

#include "engine/alsa_quiet.h"
#include "engine/data_root.h"
#include "engine/device.h"
#include "engine/sound_library.h"
#include "engine/view.h"

namespace {
void applyVolume() {
    const int volume = tslEngine().muted ? 0 : MIX_MAX_VOLUME;
    const MixerCalls* mixer = mixerCalls();
    mixer->volumeMusic(volume);
    const int everyChannel = -1;
    mixer->volume(everyChannel, volume);
}

const int mixRate = 44100;
const int mixChannels = 2;
const int mixChunkSize = 1024;

bool fileReadable(const char* file) {
    FILE* f = file ? std::fopen(tslDataPath(file).c_str(), "rb") : nullptr;
    if (f)
        std::fclose(f);
    return f != nullptr;
}
} // namespace

void TSLSoundInit() {
    tslUseDevice(tslSdlDevice());
    TSLEngineState& state = tslEngine();
    const MixerCalls* mixer = mixerCalls();
    if (state.headless || state.audioOpen || !mixer)
        return;
    silenceAlsaErrors();
    const bool startedHere = SDL_WasInit(SDL_INIT_AUDIO) == 0;
    if (startedHere && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return;
    if (mixer->openAudio(mixRate, AUDIO_S16SYS, mixChannels, mixChunkSize) != 0) {
        if (startedHere)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    state.audioOpen = true;
    applyVolume();
}

void TSLSetMuted(bool muted) {
    tslEngine().muted = muted;
    if (tslCanPlay())
        applyVolume();
}

bool TSLIsMuted() {
    return tslEngine().muted;
}

// Without a sound device the sample is not decoded; the answer then says whether the file
// could be read at all.
bool TSLSoundSample::LoadFromFile(const char* file) {
    if (chunk && tslCanPlay())
        mixerCalls()->freeChunk(static_cast<Mix_Chunk*>(chunk));
    chunk = nullptr;
    loadTried = true;
    if (!tslCanPlay())
        return fileReadable(file);
    if (file)
        chunk = mixerCalls()->loadWavRw(SDL_RWFromFile(tslDataPath(file).c_str(), "rb"), 1);
    if (playWhenLoaded && chunk)
        tslDevice().PlaySample(chunk);
    playWhenLoaded = false;
    return chunk != nullptr;
}
