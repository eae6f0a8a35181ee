// The audio device and the sound samples.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

#include "engine/alsa_quiet.h"
#include "engine/data_root.h"
#include "engine/engine_state.h"
#include "engine/sound_library.h"

namespace {
void applyVolume() {
    const int volume = tslEngine().muted ? 0 : MIX_MAX_VOLUME;
    Mix_VolumeMusic(volume);
    Mix_Volume(-1, volume);
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
    TSLEngineState& state = tslEngine();
    if (state.headless || state.audioOpen || !TSLLoadSoundLibraries())
        return;
    silenceAlsaErrors();
    const bool startedHere = SDL_WasInit(SDL_INIT_AUDIO) == 0;
    if (startedHere && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return;
    if (Mix_OpenAudio(mixRate, AUDIO_S16SYS, mixChannels, mixChunkSize) != 0) {
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

TSLSoundSample::TSLSoundSample() = default;

TSLSoundSample::~TSLSoundSample() {
    if (chunk && tslCanPlay())
        Mix_FreeChunk(static_cast<Mix_Chunk*>(chunk));
}

// Without a sound device the sample is not decoded; the answer then says whether the file
// could be read at all.
bool TSLSoundSample::LoadFromFile(const char* file) {
    if (chunk && tslCanPlay())
        Mix_FreeChunk(static_cast<Mix_Chunk*>(chunk));
    chunk = nullptr;
    loadTried = true;
    if (!tslCanPlay())
        return fileReadable(file);
    if (file)
        chunk = Mix_LoadWAV(tslDataPath(file).c_str());
    if (playWhenLoaded && chunk)
        Mix_PlayChannel(-1, static_cast<Mix_Chunk*>(chunk), 0);
    playWhenLoaded = false;
    return chunk != nullptr;
}

void TSLSoundSample::Play() {
    ++playCount;
    if (chunk && tslCanPlay())
        Mix_PlayChannel(-1, static_cast<Mix_Chunk*>(chunk), 0);
    // The game loads its sounds after its first frames; one asked for sooner is not lost.
    else if (!loadTried)
        playWhenLoaded = true;
}
