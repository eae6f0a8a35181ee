#include "tools/assets/audio.h"

#include <algorithm>
#include <cmath>

namespace {

const double twoPi = 6.283185307179586;

// Feedback comb with a one-pole low-pass in the loop: the highs die first, as in a real room.
struct Comb {
    std::vector<float> line;
    size_t position = 0;
    float feedback;
    float damping;
    float filtered = 0.0f;

    Comb(size_t length, float fb, float damp) : line(length, 0.0f), feedback(fb), damping(damp) {}

    float process(float input) {
        float out = line[position];
        filtered = out * (1.0f - damping) + filtered * damping;
        line[position] = input + filtered * feedback;
        position = (position + 1) % line.size();
        return out;
    }
};

struct AllPass {
    std::vector<float> line;
    size_t position = 0;
    float gain = 0.5f;

    explicit AllPass(size_t length) : line(length, 0.0f) {}

    float process(float input) {
        float delayed = line[position];
        float out = -input + delayed;
        line[position] = input + delayed * gain;
        position = (position + 1) % line.size();
        return out;
    }
};

void reverbChannel(std::vector<float>& channel, float wet, float roomSize, size_t spread) {
    const size_t combLengths[] = {1557, 1617, 1491, 1422};
    const size_t allPassLengths[] = {556, 225};
    std::vector<Comb> combs;
    for (size_t length : combLengths)
        combs.emplace_back(length + spread, roomSize, 0.3f);
    std::vector<AllPass> allPasses;
    for (size_t length : allPassLengths)
        allPasses.emplace_back(length + spread / 2);
    for (float& sample : channel) {
        float input = sample * 0.25f;
        float sum = 0.0f;
        for (Comb& comb : combs)
            sum += comb.process(input);
        for (AllPass& pass : allPasses)
            sum = pass.process(sum);
        sample = sample * (1.0f - wet) + sum * wet;
    }
}

int16_t toSample(float value) {
    float clamped = std::min(1.0f, std::max(-1.0f, value));
    return static_cast<int16_t>(std::lround(clamped * 32767.0f));
}

} // namespace

StereoBuffer makeStereo(size_t frames) {
    StereoBuffer buffer;
    buffer.left.assign(frames, 0.0f);
    buffer.right.assign(frames, 0.0f);
    return buffer;
}

void masterTrack(StereoBuffer& track, float peak, double fadeInSeconds, double fadeOutSeconds) {
    float loudest = 0.0f;
    for (size_t i = 0; i < track.left.size(); ++i)
        loudest = std::max({loudest, std::fabs(track.left[i]), std::fabs(track.right[i])});
    float gain = loudest > 0.0f ? peak / loudest : 0.0f;
    size_t frames = track.left.size();
    size_t fadeIn = std::min(frames, static_cast<size_t>(fadeInSeconds * sampleRate));
    size_t fadeOut = std::min(frames, static_cast<size_t>(fadeOutSeconds * sampleRate));
    for (size_t i = 0; i < frames; ++i) {
        float g = gain;
        if (i < fadeIn)
            g *= static_cast<float>(i) / fadeIn;
        if (i + fadeOut >= frames && fadeOut > 0)
            g *= static_cast<float>(frames - 1 - i) / fadeOut;
        track.left[i] *= g;
        track.right[i] *= g;
    }
}

std::vector<int16_t> toPcm(const StereoBuffer& track) {
    std::vector<int16_t> pcm;
    pcm.reserve(track.left.size() * 2);
    for (size_t i = 0; i < track.left.size(); ++i) {
        pcm.push_back(toSample(track.left[i]));
        pcm.push_back(toSample(track.right[i]));
    }
    return pcm;
}

std::vector<int16_t> toPcm(const std::vector<float>& mono) {
    std::vector<int16_t> pcm;
    pcm.reserve(mono.size());
    for (float s : mono)
        pcm.push_back(toSample(s));
    return pcm;
}

void addReverb(StereoBuffer& track, float wet, float roomSize) {
    reverbChannel(track.left, wet, roomSize, 0);
    reverbChannel(track.right, wet, roomSize, 23);
}

std::vector<float> makeBlip() {
    const double seconds = 0.12;
    const double attack = 0.006;
    size_t frames = static_cast<size_t>(seconds * sampleRate);
    std::vector<float> blip(frames, 0.0f);
    double phase = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / sampleRate;
        double progress = t / seconds;
        double frequency = 740.0 + 420.0 * std::sqrt(progress);
        phase += twoPi * frequency / sampleRate;
        double rise = std::min(1.0, t / attack);
        // Exponential decay shaped to reach exactly zero at the last sample.
        double fall = std::exp(-progress * 4.0) * (1.0 - progress);
        double tone = std::sin(phase) + 0.25 * std::sin(2.0 * phase) * (1.0 - progress);
        blip[i] = static_cast<float>(0.5 * rise * rise * fall * tone);
    }
    return blip;
}
