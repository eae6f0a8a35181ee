#include "tools/assets/image.h"

#include <algorithm>
#include <cmath>

Image makeImage(int width, int height, Colour fill) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height, fill);
    return image;
}

float clamp01(float value) {
    return std::min(1.0f, std::max(0.0f, value));
}

float smoothStep(float edge0, float edge1, float x) {
    float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

float lerp(float a, float b, float t) {
    return a + (b - a) * t;
}

Colour mixColour(Colour a, Colour b, float t) {
    return {lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t), lerp(a.a, b.a, t)};
}

void blendOver(Colour& dst, Colour src) {
    float outAlpha = src.a + dst.a * (1.0f - src.a);
    if (outAlpha <= 0.0f) {
        dst = {0.0f, 0.0f, 0.0f, 0.0f};
        return;
    }
    float keep = dst.a * (1.0f - src.a);
    dst.r = (src.r * src.a + dst.r * keep) / outAlpha;
    dst.g = (src.g * src.a + dst.g * keep) / outAlpha;
    dst.b = (src.b * src.a + dst.b * keep) / outAlpha;
    dst.a = outAlpha;
}

uint8_t toByte(float value) {
    return static_cast<uint8_t>(std::lround(clamp01(value) * 255.0f));
}

uint32_t Rng::nextInt() {
    // xorshift32: tiny, fast and identical on every platform.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

float Rng::nextFloat() {
    return static_cast<float>(nextInt() >> 8) / 16777216.0f;
}

static float latticeValue(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFF) / 16777215.0f;
}

float valueNoise(float x, float y, int period, uint32_t seed) {
    int x0 = static_cast<int>(std::floor(x));
    int y0 = static_cast<int>(std::floor(y));
    float fx = x - x0;
    float fy = y - y0;
    auto wrap = [period](int v) { return ((v % period) + period) % period; };
    float sx = fx * fx * (3.0f - 2.0f * fx);
    float sy = fy * fy * (3.0f - 2.0f * fy);
    float top = lerp(latticeValue(wrap(x0), wrap(y0), seed),
                     latticeValue(wrap(x0 + 1), wrap(y0), seed), sx);
    float bottom = lerp(latticeValue(wrap(x0), wrap(y0 + 1), seed),
                        latticeValue(wrap(x0 + 1), wrap(y0 + 1), seed), sx);
    return lerp(top, bottom, sy);
}
