// Textures: pictures loaded for materials, the font's atlas, and how a material is bound for
// drawing. The device part's.
#include <GL/gl.h>
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "engine/data_root.h"
#include "engine/raster_font.h"
#include "engine/texture.h"
#include "engine/view.h"

namespace {
// Byte order R, G, B, A in memory, whatever the machine's endianness.
SDL_Surface* newRgbaSurface(int width, int height) {
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0xff000000, 0x00ff0000,
                                0x0000ff00, 0x000000ff);
#else
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0x000000ff, 0x0000ff00,
                                0x00ff0000, 0xff000000);
#endif
}

// Four 8-bit channels, alpha among them: what the TGA loader gives for the game's pictures.
bool eightBitChannels(const SDL_PixelFormat* format) {
    return format->BytesPerPixel == 4 && format->Amask && !format->Rloss && !format->Gloss &&
           !format->Bloss && !format->Aloss;
}

// Such pictures are taken apart channel by channel; an SDL blit does the same many times slower,
// which start-up would wait for.
bool copyChannels(SDL_Surface* image, unsigned char* out) {
    const SDL_PixelFormat& format = *image->format;
    if (SDL_LockSurface(image) != 0)
        return false;
    for (int row = 0; row < image->h; ++row) {
        const unsigned char* in =
            static_cast<const unsigned char*>(image->pixels) + row * image->pitch;
        for (int column = 0; column < image->w; ++column, in += 4, out += 4) {
            Uint32 pixel;
            std::memcpy(&pixel, in, 4);
            out[0] = Uint8((pixel & format.Rmask) >> format.Rshift);
            out[1] = Uint8((pixel & format.Gmask) >> format.Gshift);
            out[2] = Uint8((pixel & format.Bmask) >> format.Bshift);
            out[3] = Uint8((pixel & format.Amask) >> format.Ashift);
        }
    }
    SDL_UnlockSurface(image);
    return true;
}

// Any other layout (no alpha, fewer bits) through SDL, which fills in a missing alpha as opaque.
bool blitChannels(SDL_Surface* image, unsigned char* out) {
    SDL_Surface* rgba = newRgbaSurface(image->w, image->h);
    if (!rgba)
        return false;
    // Without SDL_SRCALPHA the blit copies the alpha channel instead of blending with it.
    SDL_SetAlpha(image, 0, SDL_ALPHA_OPAQUE);
    SDL_BlitSurface(image, nullptr, rgba, nullptr);
    SDL_LockSurface(rgba);
    for (int row = 0; row < rgba->h; ++row)
        std::memcpy(out + std::size_t(row) * rgba->w * 4,
                    static_cast<unsigned char*>(rgba->pixels) + row * rgba->pitch,
                    std::size_t(rgba->w) * 4);
    SDL_UnlockSurface(rgba);
    SDL_FreeSurface(rgba);
    return true;
}

float clampUnit(float value) {
    return std::min(1.0f, std::max(0.0f, value));
}

// Rows per band, and texels of margin around what is visible: linear filtering and the
// rounding of band edges to window rows reach at most two texels when a texel spans half a
// pixel or more.
const int bandRows = 16;
const int bandMargin = 3;
// Skipping the transparent part pays only when it is a good share of the picture.
const double worthwhileVisibleShare = 0.75;

// Leftmost and one past the rightmost column with any alpha in rows [from, to); from == to
// when there is none.
void visibleColumns(const std::vector<unsigned char>& pixels, int width, int from, int to,
                    int* first, int* end) {
    *first = width;
    *end = 0;
    for (int row = from; row < to; ++row)
        for (int column = 0; column < width; ++column)
            if (pixels[(std::size_t(row) * width + column) * 4 + 3] != 0) {
                *first = std::min(*first, column);
                *end = std::max(*end, column + 1);
            }
}

std::vector<TSLVisibleBand> visibleBands(const std::vector<unsigned char>& pixels, int width,
                                         int height) {
    std::vector<TSLVisibleBand> bands;
    double visibleArea = 0;
    for (int top = 0; top < height; top += bandRows) {
        const int bottom = std::min(height, top + bandRows);
        int first = 0, end = 0;
        visibleColumns(pixels, width, std::max(0, top - bandMargin),
                       std::min(height, bottom + bandMargin), &first, &end);
        if (first >= end)
            continue;
        first = std::max(0, first - bandMargin);
        end = std::min(width, end + bandMargin);
        bands.push_back({float(top) / height, float(bottom) / height, float(first) / width,
                         float(end) / width});
        visibleArea += double(bottom - top) * (end - first);
    }
    if (visibleArea > worthwhileVisibleShare * width * height)
        bands.clear();
    return bands;
}

// Never destroyed: materials in globals give their textures back after static destruction.
std::unordered_map<unsigned, std::vector<TSLVisibleBand>>& bandsOfTextures() {
    static auto* bands = new std::unordered_map<unsigned, std::vector<TSLVisibleBand>>;
    return *bands;
}
} // namespace

const std::vector<TSLVisibleBand>& tslVisibleBands(unsigned texture) {
    static const std::vector<TSLVisibleBand> none;
    const auto found = bandsOfTextures().find(texture);
    return found == bandsOfTextures().end() ? none : found->second;
}

void tslDeleteTexture(unsigned texture) {
    bandsOfTextures().erase(texture);
    if (texture && tslCanDraw())
        glDeleteTextures(1, &texture);
}

unsigned tslNewTexture(bool smooth) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    const GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return name;
}

unsigned tslUploadRgbaTexture(const unsigned char* pixels, int width, int height, bool smooth) {
    const unsigned name = tslNewTexture(smooth);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    return name;
}

// Rows stay in file order, top row first: quads map the top edge to t = 0.
unsigned tslLoadTexture(const char* file, TSLMaterial& material) {
    bool* opaque = &material.opaqueTexture;
    *opaque = false;
    if (!file || !tslCanDraw())
        return 0;
    SDL_Surface* image = IMG_Load(tslDataPath(file).c_str());
    if (!image)
        return 0;
    std::vector<unsigned char> pixels(std::size_t(image->w) * image->h * 4);
    const bool converted = eightBitChannels(image->format) ? copyChannels(image, pixels.data())
                                                           : blitChannels(image, pixels.data());
    unsigned name = 0;
    if (converted) {
        *opaque = true;
        for (std::size_t alpha = 3; alpha < pixels.size() && *opaque; alpha += 4)
            *opaque = pixels[alpha] == 255;
        material.textureWidth = image->w;
        material.textureHeight = image->h;
        name = tslUploadRgbaTexture(pixels.data(), image->w, image->h, true);
        if (!*opaque)
            bandsOfTextures()[name] = visibleBands(pixels, image->w, image->h);
    }
    SDL_FreeSurface(image);
    return name;
}

void TSLMaterial::Apply() const {
    if (!tslCanDraw())
        return;
    if (renderMode == GL_ALPHA_TEST) {
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.5f);
    } else if (Opaque() && tslEngine().statesWarmed) {
        // Blending an alpha of 1 gives the source colour exactly; skipping it saves the
        // software rasteriser reading back every pixel underneath.
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_BLEND);
    } else {
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_BLEND);
    }
    if (texture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    // The game hands out colours above 1 (a red of 100 marks bonus bubbles); they draw as 1.
    glColor4f(clampUnit(diffuse[0]), clampUnit(diffuse[1]), clampUnit(diffuse[2]),
              clampUnit(diffuse[3]));
}

void TSLText::MakeRasterFont() {
    if (fontBase || !tslCanDraw())
        return;
    const std::vector<unsigned char> atlas = buildFontAtlas();
    fontBase = tslUploadRgbaTexture(atlas.data(), fontAtlasWidth, fontAtlasHeight, false);
}
