#include "tools/assets/icon_svg.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "tools/assets/image.h"

namespace {

const float canvas = 256.0f;
const float half = canvas / 2.0f;
const float discEdge = 0.96f; // the bubble's edge, as in the textures: a little inside the frame
const int stopsPerGradient = 33;

// A radial gradient laid over the disc: colour and opacity as a function of the distance from
// (x, y), in the textures' units (1 = half the icon), out to `reach`.
struct Layer {
    float x;
    float y;
    float reach;
    std::function<Colour(float)> colourAt;
};

float gaussian(float distance, float width) {
    return std::exp(-(distance * distance) / (width * width));
}

Colour withAlpha(Colour c, float alpha) {
    c.a = alpha;
    return c;
}

// The same layers, in the same order, as the player's bubble texture.
std::vector<Layer> layers() {
    const Colour body = {1.0f, 0.82f, 0.3f, 1.0f}, rim = {1.0f, 0.6f, 0.1f, 1.0f};
    const Colour white = {1.0f, 1.0f, 1.0f, 1.0f}, core = {1.0f, 0.98f, 0.85f, 1.0f};
    const Colour band = {0.65f, 0.3f, 0.02f, 1.0f};
    return {
        {0, 0, discEdge,
         [=](float r) {
             float weight = std::pow(r / discEdge, 2.0f);
             return withAlpha(mixColour(body, rim, weight), lerp(0.8f, 1.0f, weight));
         }},
        {0, 0, discEdge,
         [=](float r) { return withAlpha(white, 0.55f * gaussian(r / discEdge - 0.93f, 0.05f)); }},
        {-0.38f, -0.42f, 0.6f,
         [=](float r) { return withAlpha(white, 0.95f * gaussian(r, 0.2f)); }},
        {0.45f, 0.5f, 0.36f, [=](float r) { return withAlpha(white, 0.35f * gaussian(r, 0.12f)); }},
        {0, 0, discEdge, [=](float r) { return withAlpha(core, 0.9f * gaussian(r, 0.38f)); }},
        {0, 0, discEdge,
         [=](float r) { return withAlpha(band, 0.75f * smoothStep(0.78f, 0.86f, r)); }},
        {-0.35f, -0.4f, 0.48f,
         [=](float r) { return withAlpha(white, 0.9f * gaussian(r, 0.16f)); }},
    };
}

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
    char text[200];
    std::snprintf(text, sizeof text, pattern, a, b, c, d);
    return text;
}

std::string hexColour(Colour c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", toByte(c.r), toByte(c.g), toByte(c.b));
    return text;
}

std::string gradient(const Layer& layer, int id) {
    std::string out =
        "    <radialGradient id=\"g" + std::to_string(id) + "\"" +
        format(" gradientUnits=\"userSpaceOnUse\" cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\">\n",
               half + layer.x * half, half + layer.y * half, layer.reach * half);
    for (int k = 0; k < stopsPerGradient; ++k) {
        float offset = float(k) / (stopsPerGradient - 1);
        Colour c = layer.colourAt(offset * layer.reach);
        out += format("      <stop offset=\"%.4f\" stop-color=\"", offset) + hexColour(c) +
               format("\" stop-opacity=\"%.3f\"/>\n", clamp01(c.a));
    }
    return out + "    </radialGradient>\n";
}

} // namespace

std::string orbelleIconSvg() {
    std::string out = format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" "
                             "height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n",
                             canvas, canvas, canvas, canvas);
    out += "  <title>Orbelle</title>\n  <defs>\n";
    out += format("    <clipPath id=\"disc\"><circle cx=\"%.0f\" cy=\"%.0f\" r=\"%.2f\"/>"
                  "</clipPath>\n",
                  half, half, discEdge * half);
    std::vector<Layer> all = layers();
    for (size_t id = 0; id < all.size(); ++id)
        out += gradient(all[id], int(id));
    out += "  </defs>\n  <g clip-path=\"url(#disc)\">\n";
    for (size_t id = 0; id < all.size(); ++id)
        out += format("    <circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\"", half + all[id].x * half,
                      half + all[id].y * half, all[id].reach * half) +
               " fill=\"url(#g" + std::to_string(id) + ")\"/>\n";
    return out + "  </g>\n</svg>\n";
}
