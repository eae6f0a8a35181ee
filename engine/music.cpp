// Background music: SDL_mixer plays the track, the engine's clock tells its position. The device
// part's; the music as held (made and given back) is the core's, engine/sound.cpp.
#include <SDL.h>

#include <algorithm>

#include "engine/data_root.h"
#include "engine/mp3_length.h"
#include "engine/sound_library.h"
#include "engine/view.h"

void TSLMusic::PlayFile(const char* file) {
    if (track && tslCanPlay()) {
        mixerCalls()->haltMusic();
        mixerCalls()->freeMusic(static_cast<Mix_Music*>(track));
    }
    track = nullptr;
    currentFile = file ? file : "";
    lengthMillis = mp3LengthMillis(file ? tslDataPath(file).c_str() : nullptr);
    finished = false;
    paused = false;
    if (lengthMillis > 0 && tslCanPlay()) {
        track = mixerCalls()->loadMusic(tslDataPath(file).c_str());
        if (track && mixerCalls()->playMusic(static_cast<Mix_Music*>(track), 0) != 0) {
            mixerCalls()->freeMusic(static_cast<Mix_Music*>(track));
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
    if (!finished && track && tslCanPlay() && mixerCalls()->playingMusic() == 0)
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
        mixerCalls()->pauseMusic();
}

// The clock goes on from where it stood: the paused time is not played time.
void TSLMusic::Resume() {
    if (!paused)
        return;
    paused = false;
    startTicks += SDL_GetTicks() - pausedTicks;
    if (track && tslCanPlay())
        mixerCalls()->resumeMusic();
}

void TSLMusic::FinishForTest() {
    finished = true;
}
