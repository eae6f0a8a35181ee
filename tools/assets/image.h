// Floating-point RGBA pictures that the texture painters draw into before encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Straight (not premultiplied) colour, every channel 0..1.
struct Colour {
    float r;
    float g;
    float b;
    float a;
};

// Row 0 is the top row, as a person looks at the picture.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;

    Colour& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const Colour& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Image makeImage(int width, int height, Colour fill);

float clamp01(float value);
float smoothStep(float edge0, float edge1, float x);
float lerp(float a, float b, float t);
Colour mixColour(Colour a, Colour b, float t);

// Porter-Duff "over" for straight alpha: paints src onto dst.
void blendOver(Colour& dst, Colour src);

// Channel value 0..1 to a byte, rounded to nearest.
uint8_t toByte(float value);

// Deterministic generator so that every run paints the same pictures and plays the same notes.
struct Rng {
    uint32_t state;
    explicit Rng(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t nextInt();
    // Uniform in [0, 1).
    float nextFloat();
    float range(float low, float high) { return low + (high - low) * nextFloat(); }
};

// Smooth value noise in about [0, 1], repeating every `period` units in x and y.
float valueNoise(float x, float y, int period, uint32_t seed);
