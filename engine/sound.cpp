// Sound samples and music as the game holds them; the device part plays them (engine/audio.cpp,
// engine/music.cpp).
#include "engine/device.h"

TSLSoundSample::TSLSoundSample() = default;

TSLSoundSample::~TSLSoundSample() {
    if (chunk)
        tslDevice().FreeSample(chunk);
}

void TSLSoundSample::Play() {
    ++playCount;
    if (chunk)
        tslDevice().PlaySample(chunk);
    // The game loads its sounds after its first frames; one asked for sooner is not lost.
    else if (!loadTried)
        playWhenLoaded = true;
}

TSLMusic::TSLMusic() = default;

TSLMusic::~TSLMusic() {
    if (track)
        tslDevice().FreeTrack(track);
}
