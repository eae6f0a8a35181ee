// Checks the committed files under data/ the way the game will read them: pictures through
// SDL_image, the blip through SDL's WAV loader, the tracks through libmpg123.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>
#include <mpg123.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {
std::string dataPath(const std::string& name) {
    const char* source = std::getenv("ORBELLE_SOURCE_DIR");
    return std::string(source && *source ? source : ORBELLE_TEST_SOURCE_DIR) + "/data/" + name;
}

std::string readAll(const std::string& name) {
    std::ifstream file(dataPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A pixel of a 32-bit surface as RGBA, alpha in `unused`.
SDL_Color pixel(SDL_Surface* s, int x, int y) {
    SDL_Color c;
    Uint8* at = static_cast<Uint8*>(s->pixels) + y * s->pitch + x * 4;
    SDL_GetRGBA(*reinterpret_cast<Uint32*>(at), s->format, &c.r, &c.g, &c.b, &c.unused);
    return c;
}

const char* const tracks[] = {"surr.mp3", "seagull.mp3", "organ.mp3"};
} // namespace

// Every file is there: each picture here, the blip and the tracks in the tests below.
TEST(DataFiles, EveryPictureLoadsWithAlphaAndTheBackgroundIsOpaqueAndUpright) {
    for (const char* name : {"bg.tga", "bubble1.tga", "bubble2.tga", "bubble_player.tga",
                             "orbelle.tga", "light.tga", "spike.tga"}) {
        SDL_Surface* surface = IMG_Load(dataPath(name).c_str());
        ASSERT_NE(surface, nullptr) << name << ": " << IMG_GetError();
        ASSERT_TRUE(surface->format->Amask != 0 && surface->format->BytesPerPixel == 4) << name;
        // The background is opaque, and its lit surface is at the top when loaded, not flipped.
        bool background = name == std::string("bg.tga");
        for (int y = 0; background && y < surface->h; ++y)
            for (int x = 0; x < surface->w; ++x)
                ASSERT_EQ(pixel(surface, x, y).unused, 255) << x << "," << y;
        SDL_Color top = pixel(surface, surface->w / 2, 0),
                  low = pixel(surface, surface->w / 2, surface->h - 1);
        EXPECT_TRUE(!background || top.r + top.g + top.b > 2 * (low.r + low.g + low.b));
        SDL_FreeSurface(surface);
    }
}

// Desktops pick the icon by the size it claims. A PNG written without compression holds the
// raw 4 bytes a pixel and more.
TEST(DataFiles, IconsLoadAtTheirThemeSizeAndAreCompressed) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        std::string name = "icons/orbelle-" + std::to_string(size) + ".png";
        SDL_Surface* surface = IMG_Load(dataPath(name).c_str());
        ASSERT_NE(surface, nullptr) << name << ": " << IMG_GetError();
        EXPECT_EQ(surface->w, size) << name;
        EXPECT_EQ(surface->h, size) << name;
        EXPECT_NE(surface->format->Amask, 0u) << name;
        // Transparent corners, a nearly opaque middle: the bubble on nothing.
        EXPECT_EQ(pixel(surface, 0, 0).unused, 0) << name;
        EXPECT_GT(pixel(surface, size / 2, size / 2).unused, 200) << name;
        EXPECT_LT(readAll(name).size(), size_t(size * size * 4)) << name;
        SDL_FreeSurface(surface);
    }
}

TEST(DataFiles, BlipLoadsAsAShortSample) {
    SDL_AudioSpec format;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    ASSERT_NE(SDL_LoadWAV(dataPath("blip.wav").c_str(), &format, &buffer, &length), nullptr)
        << SDL_GetError();
    double seconds = double(length) / 2 / format.channels / format.freq;
    EXPECT_EQ(format.format, AUDIO_S16LSB);
    EXPECT_GE(seconds, 0.08);
    EXPECT_LE(seconds, 0.15);
    SDL_FreeWAV(buffer);
}

TEST(DataFiles, MusicTracksAreLongDistinctMp3s) {
    ASSERT_EQ(mpg123_init(), MPG123_OK);
    for (const char* name : tracks) {
        mpg123_handle* handle = mpg123_new(nullptr, nullptr);
        ASSERT_NE(handle, nullptr);
        long rate = 0;
        int channels = 0, encoding = 0;
        ASSERT_TRUE(mpg123_open(handle, dataPath(name).c_str()) == MPG123_OK &&
                    mpg123_scan(handle) == MPG123_OK &&
                    mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK)
            << name;
        double seconds = double(mpg123_length(handle)) / rate;
        EXPECT_GE(seconds, 60) << name;
        EXPECT_LE(seconds, 120) << name;
        mpg123_delete(handle);
    }
    std::string first = readAll(tracks[0]), second = readAll(tracks[1]), third = readAll(tracks[2]);
    // Compared as flags: a failure printing megabytes of MP3 would say less.
    EXPECT_TRUE(first != second && second != third && first != third);
}
