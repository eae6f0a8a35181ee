#include "tools/assets/textures.h"

#include <algorithm>
#include <cmath>

namespace {

const float pi = 3.14159265f;
const Colour transparent = {0.0f, 0.0f, 0.0f, 0.0f};

// Centre-relative coordinates in -1..1 for the middle of pixel (x, y).
struct Unit {
    float x;
    float y;
    float radius;
};

Unit unitAt(int x, int y, int size) {
    float ux = (x + 0.5f) / size * 2.0f - 1.0f;
    float uy = (y + 0.5f) / size * 2.0f - 1.0f;
    return {ux, uy, std::sqrt(ux * ux + uy * uy)};
}

// Coverage of a disc edge at `edge`, anti-aliased over about one pixel.
float discCoverage(float radius, float edge, int size) {
    float pixel = 2.0f / size;
    return 1.0f - smoothStep(edge - pixel, edge + pixel * 0.5f, radius);
}

float gaussian(float distance, float width) {
    return std::exp(-(distance * distance) / (width * width));
}

// Shared bubble shading: mostly clear middle, thick rim, highlight up and left, faint
// reflection down and right.
struct BubbleLook {
    Colour body;
    Colour rim;
    float centreAlpha;
    float rimAlpha;
    float rimPower;
};

Image paintSphere(int size, const BubbleLook& look) {
    Image image = makeImage(size, size, transparent);
    const float edge = 0.96f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Unit u = unitAt(x, y, size);
            float cover = discCoverage(u.radius, edge, size);
            if (cover <= 0.0f)
                continue;
            float r = u.radius / edge;
            float rimWeight = std::pow(clamp01(r), look.rimPower);
            Colour c = mixColour(look.body, look.rim, rimWeight);
            c.a = lerp(look.centreAlpha, look.rimAlpha, rimWeight);
            // Thin bright ring just inside the edge: the film seen edge-on.
            float ring = gaussian(r - 0.93f, 0.05f);
            blendOver(c, {1.0f, 1.0f, 1.0f, 0.55f * ring});
            float highlight = gaussian(std::hypot(u.x + 0.38f, u.y + 0.42f), 0.2f);
            blendOver(c, {1.0f, 1.0f, 1.0f, 0.95f * highlight});
            float glint = gaussian(std::hypot(u.x - 0.45f, u.y - 0.5f), 0.12f);
            blendOver(c, {1.0f, 1.0f, 1.0f, 0.35f * glint});
            c.a *= cover;
            image.at(x, y) = c;
        }
    }
    return image;
}

// Star with five rounded points; returns 0..1 coverage for a point in unit space.
float starShape(float x, float y, float outer, float inner) {
    float angle = std::atan2(y, x) + pi / 2.0f;
    float sector = 2.0f * pi / 5.0f;
    float local =
        std::fabs(std::fmod(angle + 10.0f * pi, sector) - sector / 2.0f) / (sector / 2.0f);
    float limit = lerp(outer, inner, std::pow(local, 0.8f));
    float radius = std::hypot(x, y);
    return 1.0f - smoothStep(limit - 0.03f, limit + 0.01f, radius);
}

} // namespace

Image paintBackground(int size) {
    Image image = makeImage(size, size, transparent);
    const Colour surface = {0.20f, 0.55f, 0.72f, 1.0f};
    const Colour middle = {0.05f, 0.25f, 0.45f, 1.0f};
    const Colour deep = {0.01f, 0.06f, 0.17f, 1.0f};
    const uint32_t seed = 0x0B6E11Eu;
    for (int y = 0; y < size; ++y) {
        float depth = (y + 0.5f) / size;
        Colour water = depth < 0.45f ? mixColour(surface, middle, depth / 0.45f)
                                     : mixColour(middle, deep, (depth - 0.45f) / 0.55f);
        for (int x = 0; x < size; ++x) {
            float u = (x + 0.5f) / size;
            Colour c = water;
            // Rays fan out from a point above the top edge and fade with depth.
            float slant = (u - 0.35f) / (depth + 0.35f);
            float rays = 0.5f + 0.5f * std::sin(slant * 23.0f) * std::sin(slant * 9.0f + 1.3f);
            rays = std::pow(rays, 3.0f) * (1.0f - smoothStep(0.0f, 0.75f, depth));
            blendOver(c, {0.75f, 0.95f, 1.0f, 0.28f * rays});
            // Ripples of caustic light just under the surface.
            float ripple = valueNoise(u * 24.0f, depth * 10.0f, 24, seed);
            blendOver(c,
                      {0.8f, 1.0f, 1.0f, 0.12f * ripple * (1.0f - smoothStep(0.0f, 0.3f, depth))});
            // Murk: large soft variations keep the gradient from looking flat.
            float murk = valueNoise(u * 6.0f, depth * 6.0f, 6, seed + 1) - 0.5f;
            c.r += murk * 0.04f;
            c.g += murk * 0.06f;
            c.b += murk * 0.08f;
            image.at(x, y) = c;
        }
    }
    // Rocks and weed along the bottom, and a far-off reef shadow.
    for (int x = 0; x < size; ++x) {
        float u = (x + 0.5f) / size;
        float farTop =
            0.78f - 0.06f * valueNoise(u * 5.0f, 0.5f, 5, seed + 2) - 0.03f * std::sin(u * 11.0f);
        float nearTop = 0.88f - 0.09f * valueNoise(u * 7.0f, 3.5f, 7, seed + 3) -
                        0.05f * std::pow(std::fabs(std::sin(u * 4.2f + 0.7f)), 3.0f);
        for (int y = 0; y < size; ++y) {
            float depth = (y + 0.5f) / size;
            Colour& c = image.at(x, y);
            float px = 1.0f / size;
            float far = smoothStep(farTop - px, farTop + px, depth);
            blendOver(c, {0.02f, 0.10f, 0.22f, 0.55f * far});
            float near = smoothStep(nearTop - px, nearTop + px, depth);
            blendOver(c, {0.01f, 0.04f, 0.09f, 0.9f * near});
        }
    }
    Rng rng(0x5EA7EEDu);
    for (int strand = 0; strand < 9; ++strand) {
        float baseX = rng.range(0.03f, 0.97f);
        float height = rng.range(0.12f, 0.3f);
        float sway = rng.range(0.01f, 0.035f);
        float phase = rng.range(0.0f, 2.0f * pi);
        float thickness = rng.range(0.006f, 0.012f);
        for (int y = 0; y < size; ++y) {
            float depth = (y + 0.5f) / size;
            float rise = (1.0f - depth) / height; // 0 at the bottom, 1 at the tip
            if (rise > 1.0f)
                continue;
            float centre = baseX + sway * std::sin(rise * 7.0f + phase) * rise;
            float half = thickness * (1.0f - 0.8f * rise);
            for (int x = 0; x < size; ++x) {
                float u = (x + 0.5f) / size;
                float cover = 1.0f - smoothStep(half, half + 1.5f / size, std::fabs(u - centre));
                blendOver(image.at(x, y), {0.02f, 0.12f, 0.10f, 0.85f * cover});
            }
        }
    }
    // Drifting specks catch the light.
    for (int speck = 0; speck < 140; ++speck) {
        float sx = rng.range(0.0f, 1.0f) * size;
        float sy = rng.range(0.0f, 0.85f) * size;
        float radius = rng.range(0.6f, 1.8f);
        float bright = rng.range(0.15f, 0.45f);
        for (int y = static_cast<int>(sy - 3); y <= static_cast<int>(sy + 3); ++y) {
            for (int x = static_cast<int>(sx - 3); x <= static_cast<int>(sx + 3); ++x) {
                if (x < 0 || y < 0 || x >= size || y >= size)
                    continue;
                float d = std::hypot(x + 0.5f - sx, y + 0.5f - sy);
                blendOver(image.at(x, y), {0.8f, 0.95f, 1.0f, bright * gaussian(d, radius)});
            }
        }
    }
    return image;
}

Image paintBubble(int size) {
    BubbleLook look = {{0.55f, 0.85f, 1.0f, 1.0f}, {0.75f, 0.95f, 1.0f, 1.0f}, 0.12f, 0.85f, 3.0f};
    return paintSphere(size, look);
}

Image paintSpecialBubble(int size) {
    BubbleLook look = {{1.0f, 1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, 0.35f, 0.95f, 2.5f};
    Image image = paintSphere(size, look);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Unit u = unitAt(x, y, size);
            if (u.radius > 0.9f)
                continue;
            Colour& c = image.at(x, y);
            float glow = gaussian(u.radius, 0.45f);
            blendOver(c, {1.0f, 1.0f, 1.0f, 0.55f * glow});
            float star = starShape(u.x, u.y + 0.03f, 0.55f, 0.24f);
            blendOver(c, {1.0f, 1.0f, 1.0f, 0.95f * star});
        }
    }
    return image;
}

Image paintPlayerBubble(int size) {
    BubbleLook look = {{1.0f, 0.82f, 0.3f, 1.0f}, {1.0f, 0.6f, 0.1f, 1.0f}, 0.8f, 1.0f, 2.0f};
    Image image = paintSphere(size, look);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Unit u = unitAt(x, y, size);
            if (u.radius > 0.96f)
                continue;
            Colour& c = image.at(x, y);
            // Hot core and a dark outer band so the outline survives a 10-pixel draw.
            blendOver(c, {1.0f, 0.98f, 0.85f, 0.9f * gaussian(u.radius, 0.38f)});
            float band = smoothStep(0.78f, 0.86f, u.radius);
            blendOver(c, {0.65f, 0.3f, 0.02f, 0.75f * band});
            float highlight = gaussian(std::hypot(u.x + 0.35f, u.y + 0.4f), 0.16f);
            blendOver(c, {1.0f, 1.0f, 1.0f, 0.9f * highlight});
        }
    }
    return image;
}

Image paintSpike(int size) {
    Image image = makeImage(size, size, transparent);
    const int spikes = 12;
    const float ballRadius = 0.5f;
    const float tipRadius = 0.97f;
    const float halfWidth = pi / spikes * 0.75f;
    const float pixel = 2.0f / size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Unit u = unitAt(x, y, size);
            float angle = std::atan2(u.y, u.x);
            float sector = 2.0f * pi / spikes;
            float offset = std::fmod(angle + 10.0f * pi + sector / 2.0f, sector) - sector / 2.0f;
            float along = clamp01(1.0f - std::fabs(offset) / halfWidth);
            float limit = ballRadius +
                          (tipRadius - ballRadius) * along * along * (3.0f - 2.0f * along) * along;
            float outline = std::max(ballRadius, limit);
            // Distance to the outline measured along the radius, scaled down on the steep
            // spike flanks so their edges stay one pixel wide.
            float flank = u.radius > ballRadius ? 0.35f : 1.0f;
            float cover =
                1.0f - smoothStep(-pixel * 0.5f, pixel * 0.5f, (u.radius - outline) * flank);
            if (cover <= 0.0f)
                continue;
            Colour c;
            if (u.radius <= ballRadius + pixel) {
                // Ball: lit from the upper left, with a bright specular spot.
                float nz = std::sqrt(
                    std::max(0.0f, 1.0f - (u.radius / ballRadius) * (u.radius / ballRadius)));
                float light = clamp01((-u.x * 0.5f - u.y * 0.6f) / ballRadius * 0.6f + nz * 0.6f);
                float grey = 0.12f + 0.45f * light;
                c = {grey * 0.95f, grey, grey * 1.08f, 1.0f};
                float specular = gaussian(std::hypot(u.x + 0.18f, u.y + 0.2f), 0.1f);
                blendOver(c, {1.0f, 1.0f, 1.0f, 0.85f * specular});
            } else {
                // Spike: bright on the lit flank, dark on the other, darker toward the tip.
                float side = offset > 0 ? 1.0f : -1.0f;
                float facing = std::cos(angle + side * 0.9f - (-2.3f));
                float grey = 0.18f + 0.3f * clamp01(0.5f + 0.5f * facing);
                grey *= 1.0f - 0.35f * clamp01((u.radius - ballRadius) / (tipRadius - ballRadius));
                c = {grey * 0.95f, grey, grey * 1.1f, 1.0f};
            }
            c.a = cover;
            image.at(x, y) = c;
        }
    }
    return image;
}

Image paintFlare(int size) {
    Image image = makeImage(size, size, transparent);
    struct Glow {
        float x, y, width, strength;
    };
    const Glow glows[] = {{0.18f, 0.12f, 0.22f, 0.6f},
                          {0.45f, 0.35f, 0.07f, 0.35f},
                          {0.62f, 0.52f, 0.12f, 0.22f},
                          {0.8f, 0.72f, 0.05f, 0.35f},
                          {0.9f, 0.86f, 0.16f, 0.18f}};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float u = (x + 0.5f) / size;
            float v = (y + 0.5f) / size;
            float alpha = 0.0f;
            for (const Glow& g : glows)
                alpha += g.strength * gaussian(std::hypot(u - g.x, v - g.y), g.width);
            // Long soft rays from the main glow in the upper left.
            float dx = u - 0.18f;
            float dy = v - 0.12f;
            float angle = std::atan2(dy, dx);
            float reach = std::hypot(dx, dy);
            float rays = std::pow(0.5f + 0.5f * std::sin(angle * 14.0f), 6.0f) +
                         0.5f * std::pow(0.5f + 0.5f * std::sin(angle * 5.0f + 1.0f), 8.0f);
            alpha += 0.3f * rays * std::exp(-reach * 2.2f) * smoothStep(0.0f, 0.08f, reach);
            // Ring halo around the main glow.
            alpha += 0.12f * gaussian(reach - 0.3f, 0.02f);
            image.at(x, y) = {0.92f, 0.97f, 1.0f, clamp01(0.75f * alpha)};
        }
    }
    return image;
}
