// Checks the committed files under data/ the way the game will read them: pictures through
// SDL_image, the blip through SDL's WAV loader, the tracks through libmpg123.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The source tree comes from ORBELLE_SOURCE_DIR, or else from where this file was compiled,
// so the checks still find data/ when a runner drops the environment.
std::string sourceDir() {
    const char* source = std::getenv("ORBELLE_SOURCE_DIR");
    if (source && *source)
        return source;
    std::string self = __FILE__;
    return self.substr(0, self.rfind("/tests/unit/assets/"));
}

std::string dataPath(const std::string& name) {
    return sourceDir() + "/data/" + name;
}

const char* const textures[] = {"bg.tga",      "bubble1.tga", "bubble2.tga", "bubble_player.tga",
                                "orbelle.tga", "light.tga",   "spike.tga"};
const char* const tracks[] = {"surr.mp3", "seagull.mp3", "organ.mp3"};

struct Rgba {
    int r, g, b, a;
};

// A loaded picture with its pixels read out, so checks need not care about the surface format.
struct Picture {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    std::vector<Rgba> pixels;
    const Rgba& at(int x, int y) const { return pixels[y * width + x]; }
};

bool loadPicture(const std::string& file, Picture& out) {
    SDL_Surface* surface = IMG_Load(dataPath(file).c_str());
    if (!surface)
        return false;
    out.width = surface->w;
    out.height = surface->h;
    out.hasAlpha = surface->format->Amask != 0;
    SDL_LockSurface(surface);
    int bytes = surface->format->BytesPerPixel;
    for (int y = 0; y < surface->h; ++y) {
        for (int x = 0; x < surface->w; ++x) {
            Uint8* p = static_cast<Uint8*>(surface->pixels) + y * surface->pitch + x * bytes;
            Uint32 value = 0;
            memcpy(&value, p, bytes);
            Uint8 r, g, b, a;
            SDL_GetRGBA(value, surface->format, &r, &g, &b, &a);
            out.pixels.push_back({r, g, b, a});
        }
    }
    SDL_UnlockSurface(surface);
    SDL_FreeSurface(surface);
    return true;
}

double rowBrightness(const Picture& p, int y) {
    double sum = 0;
    for (int x = 0; x < p.width; ++x)
        sum += p.at(x, y).r + p.at(x, y).g + p.at(x, y).b;
    return sum / (3.0 * p.width);
}

bool isPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

} // namespace

TEST(DataFiles, EveryFileTheGameLoadsIsPresent) {
    std::vector<std::string> names(std::begin(textures), std::end(textures));
    names.insert(names.end(), std::begin(tracks), std::end(tracks));
    names.push_back("blip.wav");
    names.push_back("orbelle-icon.png");
    for (const std::string& name : names) {
        std::ifstream file(dataPath(name), std::ios::binary | std::ios::ate);
        ASSERT_TRUE(file.good()) << dataPath(name);
        EXPECT_GT(file.tellg(), 1000) << name;
    }
}

TEST(DataFiles, TexturesLoadWithAlphaAtSafeSizes) {
    for (const char* name : textures) {
        Picture p;
        ASSERT_TRUE(loadPicture(name, p)) << name << ": " << IMG_GetError();
        EXPECT_TRUE(p.hasAlpha) << name;
        // Power-of-two sides keep the textures usable on old GL drivers too.
        EXPECT_TRUE(isPowerOfTwo(p.width) && isPowerOfTwo(p.height)) << name;
        EXPECT_GE(p.width, 64) << name;
        EXPECT_LE(p.width, 1024) << name;
    }
}

TEST(DataFiles, PicturesHaveTheShapesTheGameReliesOn) {
    Picture bg, bubble, special, player, spike, logo, flare;
    ASSERT_TRUE(loadPicture("bg.tga", bg));
    ASSERT_TRUE(loadPicture("bubble2.tga", bubble));
    ASSERT_TRUE(loadPicture("bubble1.tga", special));
    ASSERT_TRUE(loadPicture("bubble_player.tga", player));
    ASSERT_TRUE(loadPicture("spike.tga", spike));
    ASSERT_TRUE(loadPicture("orbelle.tga", logo));
    ASSERT_TRUE(loadPicture("light.tga", flare));

    // Background: opaque, and the lit surface is at the top when loaded (not flipped).
    for (const Rgba& px : bg.pixels)
        ASSERT_EQ(px.a, 255);
    EXPECT_GT(rowBrightness(bg, 0), 2.0 * rowBrightness(bg, bg.height - 1));

    // Sprites are round things on a clear square: corners invisible, middle covered.
    for (const Picture* p : {&bubble, &special, &player, &spike}) {
        EXPECT_EQ(p->at(0, 0).a, 0);
        EXPECT_EQ(p->at(p->width - 1, p->height - 1).a, 0);
        EXPECT_GT(p->at(p->width / 2, p->height / 2).a, 0);
    }
    // An ordinary bubble is see-through in the middle and solid at the rim.
    int mid = bubble.width / 2;
    EXPECT_LT(bubble.at(mid, mid).a, 80);
    EXPECT_GT(bubble.at(mid, mid * 2 - 6).a, 150);
    // The player's bubble must be far more solid than the bubbles around it.
    EXPECT_GT(player.at(mid, mid).a, 3 * bubble.at(mid, mid).a);

    // Special bubbles are tinted red or green by the game: they must be near white.
    double sum = 0;
    int count = 0;
    for (const Rgba& px : special.pixels) {
        if (px.a > 128) {
            sum += std::min({px.r, px.g, px.b});
            ++count;
        }
    }
    ASSERT_GT(count, 0);
    EXPECT_GT(sum / count, 200.0);

    // Spikes are drawn with an alpha test at one half: almost no pixel may sit near it.
    int edge = 0;
    int covered = 0;
    for (const Rgba& px : spike.pixels) {
        covered += px.a > 0;
        edge += px.a > 64 && px.a < 192;
    }
    EXPECT_LT(edge, covered / 10);
    EXPECT_EQ(spike.at(spike.width / 2, spike.height / 2).a, 255);

    // Logo: clear background with solid lettering in the middle band.
    int solidLetters = 0;
    for (const Rgba& px : logo.pixels)
        solidLetters += px.a == 255;
    EXPECT_EQ(logo.at(0, 0).a, 0);
    EXPECT_GT(solidLetters, logo.width * logo.height / 20);
    EXPECT_LT(solidLetters, logo.width * logo.height / 2);

    // The flare covers the whole field, so it must be mostly clear.
    double alpha = 0;
    for (const Rgba& px : flare.pixels)
        alpha += px.a;
    EXPECT_LT(alpha / flare.pixels.size(), 0.25 * 255);
    EXPECT_GT(alpha / flare.pixels.size(), 0.01 * 255);
}

TEST(DataFiles, IconIsASmallSquarePng) {
    Picture icon;
    ASSERT_TRUE(loadPicture("orbelle-icon.png", icon)) << IMG_GetError();
    EXPECT_EQ(icon.width, icon.height);
    EXPECT_TRUE(icon.width == 64 || icon.width == 128);
    EXPECT_TRUE(icon.hasAlpha);
}

TEST(DataFiles, BlipIsAShortClicklessSample) {
    SDL_AudioSpec wavFormat;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    ASSERT_NE(SDL_LoadWAV(dataPath("blip.wav").c_str(), &wavFormat, &buffer, &length), nullptr)
        << SDL_GetError();
    EXPECT_EQ(wavFormat.freq, 44100);
    EXPECT_EQ(wavFormat.format, AUDIO_S16LSB);
    size_t samples = length / 2 / wavFormat.channels;
    double seconds = static_cast<double>(samples) / wavFormat.freq;
    EXPECT_GE(seconds, 0.08);
    EXPECT_LE(seconds, 0.15);
    const Sint16* pcm = reinterpret_cast<const Sint16*>(buffer);
    size_t total = length / 2;
    int peak = 0;
    for (size_t i = 0; i < total; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(pcm[i])));
    EXPECT_GT(peak, 8000);  // audible
    EXPECT_LT(peak, 32000); // not clipped
    // A sample that starts or stops away from zero clicks.
    EXPECT_LT(std::abs(pcm[0]), 300);
    EXPECT_LT(std::abs(pcm[total - 1]), 300);
    SDL_FreeWAV(buffer);
}

TEST(DataFiles, MusicTracksAreLongDistinctMp3s) {
    ASSERT_EQ(mpg123_init(), MPG123_OK);
    std::vector<off_t> lengths;
    std::vector<std::string> contents;
    for (const char* name : tracks) {
        int error = 0;
        mpg123_handle* handle = mpg123_new(nullptr, &error);
        ASSERT_NE(handle, nullptr);
        ASSERT_EQ(mpg123_open(handle, dataPath(name).c_str()), MPG123_OK) << name;
        ASSERT_EQ(mpg123_scan(handle), MPG123_OK) << name;
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        ASSERT_EQ(mpg123_getformat(handle, &rate, &channels, &encoding), MPG123_OK) << name;
        off_t samples = mpg123_length(handle);
        ASSERT_GT(rate, 0);
        EXPECT_GE(static_cast<double>(samples) / rate, 60.0) << name;
        EXPECT_LE(static_cast<double>(samples) / rate, 120.0) << name;
        lengths.push_back(samples);
        mpg123_close(handle);
        mpg123_delete(handle);

        std::ifstream file(dataPath(name), std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>());
        EXPECT_LT(contents.back().size(), 1500000u) << name;
    }
    for (size_t i = 0; i < contents.size(); ++i)
        for (size_t j = i + 1; j < contents.size(); ++j)
            EXPECT_TRUE(contents[i] != contents[j]) << tracks[i] << " and " << tracks[j];
    EXPECT_FALSE(lengths[0] == lengths[1] && lengths[1] == lengths[2]);
}
