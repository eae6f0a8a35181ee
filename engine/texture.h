// Texture helpers shared by materials, the font and the blur overlay.
#pragma once

#include <vector>

// A new texture, bound, clamped at its edges, filtered linearly when smooth, else nearest.
unsigned tslNewTexture(bool smooth);
// Uploads width x height RGBA bytes as a new texture; returns its GL name.
unsigned tslUploadRgbaTexture(const unsigned char* pixels, int width, int height, bool smooth);
class TSLMaterial;
// Loads an image file (TGA with alpha) into a texture; 0 when the file is missing or
// unreadable, or when there is nothing to draw on. Notes in material the texture's size and
// whether every pixel has full alpha, and beside the texture where it is visible at all.
unsigned tslLoadTexture(const char* file, TSLMaterial& material);
// Deletes a texture loaded so, and what was noted beside it.
void tslDeleteTexture(unsigned texture);

// A band of texture rows (t0 to t1, top first) and the columns (s0 to s1) within it that hold
// every texel with any alpha, widened by the reach of linear filtering.
struct TSLVisibleBand {
    float t0, t1, s0, s1;
};
// Where a loaded texture is visible at all, when much of it is fully transparent; else empty.
const std::vector<TSLVisibleBand>& tslVisibleBands(unsigned texture);
