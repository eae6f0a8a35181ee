// Sample buffers, mastering and the short sound effect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

const int sampleRate = 44100;

struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;
};

StereoBuffer makeStereo(size_t frames);

// Scales so the loudest sample sits at `peak`, then fades the ends so a track neither
// starts nor stops with a click.
void masterTrack(StereoBuffer& track, float peak, double fadeInSeconds, double fadeOutSeconds);

// Interleaves and converts to 16-bit, clamping anything outside -1..1.
std::vector<int16_t> toPcm(const StereoBuffer& track);
std::vector<int16_t> toPcm(const std::vector<float>& mono);

// Small room reverb (four damped combs into two all-passes per side), mixed in at `wet`.
void addReverb(StereoBuffer& track, float wet, float roomSize);

// The collision blip: a rising two-partial tone with a soft attack, about 120 ms, mono.
std::vector<float> makeBlip();
