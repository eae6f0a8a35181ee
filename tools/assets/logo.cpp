#include "tools/assets/logo.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const float pi = 3.14159265f;
// Proportions of the quad the game draws the logo on.
const float drawnWidth = 512.0f;
const float drawnHeight = 300.0f;
// Letter metrics in em units: baseline 0, x-height 0.62, ascender 1.
const float strokeRadius = 0.1f;
const float outlineWidth = 0.045f;
const float glowWidth = 0.12f;
const float letterGap = 0.08f;

struct Point {
    float x;
    float y;
};

using Stroke = std::vector<Point>;

struct Glyph {
    std::vector<Stroke> strokes;
    float advance;
};

Stroke line(Point a, Point b) {
    return {a, b};
}

// Arc of an ellipse, angles in degrees counter-clockwise from the +x axis.
Stroke arc(Point centre, float rx, float ry, float fromDeg, float toDeg) {
    Stroke stroke;
    const int steps = 48;
    for (int i = 0; i <= steps; ++i) {
        float a = (fromDeg + (toDeg - fromDeg) * i / steps) * pi / 180.0f;
        stroke.push_back({centre.x + rx * std::cos(a), centre.y + ry * std::sin(a)});
    }
    return stroke;
}

Glyph glyphFor(char letter) {
    switch (letter) {
    case 'O':
        return {{arc({0.42f, 0.5f}, 0.34f, 0.44f, 0.0f, 360.0f)}, 0.88f};
    case 'r':
        return {
            {line({0.1f, 0.0f}, {0.1f, 0.6f}), arc({0.36f, 0.34f}, 0.26f, 0.26f, 180.0f, 62.0f)},
            0.56f};
    case 'b':
        return {{line({0.1f, 0.0f}, {0.1f, 1.0f}), arc({0.39f, 0.3f}, 0.29f, 0.3f, 0.0f, 360.0f)},
                0.72f};
    case 'e':
        return {
            {line({0.05f, 0.31f}, {0.63f, 0.31f}), arc({0.34f, 0.31f}, 0.29f, 0.31f, 0.0f, 318.0f)},
            0.7f};
    case 'l':
        return {{line({0.1f, 1.0f}, {0.1f, 0.2f}), arc({0.3f, 0.2f}, 0.2f, 0.2f, 180.0f, 290.0f)},
                0.4f};
    default:
        return {{}, 0.5f};
    }
}

struct Segment {
    Point a;
    Point b;
};

float distanceToSegment(Point p, const Segment& s) {
    float dx = s.b.x - s.a.x;
    float dy = s.b.y - s.a.y;
    float lengthSquared = dx * dx + dy * dy;
    float t =
        lengthSquared > 0.0f ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / lengthSquared : 0.0f;
    t = std::min(1.0f, std::max(0.0f, t));
    return std::hypot(p.x - (s.a.x + t * dx), p.y - (s.a.y + t * dy));
}

// Lays the word out along a gently bouncing baseline, in em units.
std::vector<Segment> layOut(const char* word, float& totalWidth) {
    std::vector<Segment> segments;
    float penX = 0.0f;
    int index = 0;
    for (const char* c = word; *c; ++c, ++index) {
        Glyph glyph = glyphFor(*c);
        float lift = 0.05f * std::sin(index * 1.7f);
        for (const Stroke& stroke : glyph.strokes) {
            for (size_t i = 1; i < stroke.size(); ++i) {
                segments.push_back({{stroke[i - 1].x + penX, stroke[i - 1].y + lift},
                                    {stroke[i].x + penX, stroke[i].y + lift}});
            }
        }
        penX += glyph.advance + letterGap;
    }
    totalWidth = penX - letterGap;
    return segments;
}

float nearestDistance(Point p, const std::vector<Segment>& segments) {
    float best = 1e9f;
    for (const Segment& s : segments)
        best = std::min(best, distanceToSegment(p, s));
    return best;
}

} // namespace

Image paintLogo(int width, int height) {
    Image image = makeImage(width, height, {1.0f, 1.0f, 1.0f, 0.0f});
    float wordWidth = 0.0f;
    std::vector<Segment> segments = layOut("Orbelle", wordWidth);
    float margin = strokeRadius + outlineWidth + glowWidth;
    float emPixels = (drawnWidth - 16.0f) / (wordWidth + 2.0f * margin);
    // The menu lines are printed over the lower part of the quad, so the word sits in its
    // upper part; the letters span about -0.05 to 1.05 em vertically.
    float originX = (drawnWidth - wordWidth * emPixels) / 2.0f;
    float originY = drawnHeight * 0.64f - 0.5f * emPixels;
    float pixelEm = 1.0f / emPixels;

    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Texture row 0 is the top of the quad; letters are laid out with y up.
            float qx = (x + 0.5f) * drawnWidth / width;
            float qy = drawnHeight - (y + 0.5f) * drawnHeight / height;
            Point p = {(qx - originX) * pixelEm, (qy - originY) * pixelEm};
            float d = nearestDistance(p, segments);
            if (d > margin + pixelEm)
                continue;
            Colour c = {0.85f, 0.95f, 1.0f,
                        0.55f * std::exp(-std::pow((d - strokeRadius) / glowWidth, 2.0f))};
            float outline = 1.0f - smoothStep(strokeRadius + outlineWidth - pixelEm,
                                              strokeRadius + outlineWidth + pixelEm, d);
            blendOver(c, {0.05f, 0.15f, 0.3f, outline});
            float fill = 1.0f - smoothStep(strokeRadius - pixelEm, strokeRadius + pixelEm, d);
            if (fill > 0.0f) {
                // Rounded tube: brighter along the middle of the stroke, with a glossy
                // streak a little above it.
                float across = std::min(1.0f, d / strokeRadius);
                float tube = std::sqrt(1.0f - across * across);
                float upper = nearestDistance({p.x - 0.02f, p.y - 0.035f}, segments);
                float gloss = std::exp(-std::pow(upper / (strokeRadius * 0.35f), 2.0f));
                float shade = 0.72f + 0.28f * tube;
                Colour body = {shade * 0.9f, shade * 0.97f, shade, fill};
                blendOver(c, body);
                blendOver(c, {1.0f, 1.0f, 1.0f, 0.8f * gloss * fill});
            }
            image.at(x, y) = c;
        }
    }
    return image;
}
