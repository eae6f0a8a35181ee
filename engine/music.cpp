// Background music: SDL_mixer plays the track, the engine's clock tells its position.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>

#include "engine/data_root.h"
#include "engine/engine_state.h"
#include "engine/mp3_length.h"

TSLMusic::TSLMusic() = default;

TSLMusic::~TSLMusic() {
    if (track && tslCanPlay()) {
        Mix_HaltMusic();
        Mix_FreeMusic(static_cast<Mix_Music*>(track));
    }
}

void TSLMusic::PlayFile(const char* file) {
    if (track && tslCanPlay()) {
        Mix_HaltMusic();
        Mix_FreeMusic(static_cast<Mix_Music*>(track));
    }
    track = nullptr;
    currentFile = file ? file : "";
    lengthMillis = mp3LengthMillis(file ? tslDataPath(file).c_str() : nullptr);
    finished = false;
    paused = false;
    if (lengthMillis > 0 && tslCanPlay()) {
        track = Mix_LoadMUS(tslDataPath(file).c_str());
        if (track && Mix_PlayMusic(static_cast<Mix_Music*>(track), 0) != 0) {
            Mix_FreeMusic(static_cast<Mix_Music*>(track));
            track = nullptr;
        }
    }
    startTicks = SDL_GetTicks();
}

int TSLMusic::GetLength() {
    return lengthMillis;
}

// Without a sound device (or when the mixer refused the file) the track "plays" on the
// clock alone, so the game's rotation among tracks behaves the same everywhere.
int TSLMusic::GetTime() {
    if (lengthMillis <= 0)
        return 0;
    if (!finished && track && tslCanPlay() && Mix_PlayingMusic() == 0)
        finished = true;
    const unsigned elapsed = (paused ? pausedTicks : SDL_GetTicks()) - startTicks;
    if (!finished && elapsed >= unsigned(lengthMillis))
        finished = true;
    return finished ? lengthMillis : int(elapsed);
}

void TSLMusic::Pause() {
    if (paused)
        return;
    paused = true;
    pausedTicks = SDL_GetTicks();
    if (track && tslCanPlay())
        Mix_PauseMusic();
}

// The clock goes on from where it stood: the paused time is not played time.
void TSLMusic::Resume() {
    if (!paused)
        return;
    paused = false;
    startTicks += SDL_GetTicks() - pausedTicks;
    if (track && tslCanPlay())
        Mix_ResumeMusic();
}

void TSLMusic::FinishForTest() {
    finished = true;
}
