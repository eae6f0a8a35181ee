// Texture helpers shared by materials, the font and the blur overlay.
#pragma once

// A new texture, bound, clamped at its edges, filtered linearly when smooth, else nearest.
unsigned tslNewTexture(bool smooth);
// Uploads width x height RGBA bytes as a new texture; returns its GL name.
unsigned tslUploadRgbaTexture(const unsigned char* pixels, int width, int height, bool smooth);
class TSLMaterial;
// Loads an image file (TGA with alpha) into a texture; 0 when the file is missing or
// unreadable, or when there is nothing to draw on. Notes in material the texture's size,
// whether every pixel has full alpha and where it is visible at all.
unsigned tslLoadTexture(const char* file, TSLMaterial& material);
