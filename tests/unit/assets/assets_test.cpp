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
std::string dataPath(const std::string& name) {
    const char* source = std::getenv("ORBELLE_SOURCE_DIR");
    return std::string(source && *source ? source : ORBELLE_TEST_SOURCE_DIR) + "/data/" + name;
}

const char* const pictures[] = {"bg.tga",      "bubble1.tga", "bubble2.tga", "bubble_player.tga",
                                "orbelle.tga", "light.tga",   "spike.tga",   "orbelle-icon.png"};
const char* const tracks[] = {"surr.mp3", "seagull.mp3", "organ.mp3"};

// A loaded picture's size and alpha mask, its pixels read out as RGBA whatever the format.
struct Picture {
    int width = 0, height = 0;
    bool hasAlpha = false;
    std::vector<SDL_Color> pixels; // alpha in `unused`
    const SDL_Color& at(int x, int y) const { return pixels[y * width + x]; }
};

bool loadPicture(const std::string& file, Picture& out) {
    SDL_Surface* surface = IMG_Load(dataPath(file).c_str());
    if (!surface)
        return false;
    out = {surface->w, surface->h, surface->format->Amask != 0, {}};
    SDL_LockSurface(surface);
    int bytes = surface->format->BytesPerPixel;
    for (int y = 0; y < surface->h; ++y) {
        for (int x = 0; x < surface->w; ++x) {
            Uint32 value = 0;
            memcpy(&value, static_cast<Uint8*>(surface->pixels) + y * surface->pitch + x * bytes,
                   bytes);
            SDL_Color c;
            SDL_GetRGBA(value, surface->format, &c.r, &c.g, &c.b, &c.unused);
            out.pixels.push_back(c);
        }
    }
    SDL_UnlockSurface(surface);
    SDL_FreeSurface(surface);
    return true;
}

} // namespace

TEST(DataFiles, EveryFileIsPresentAndEveryPictureLoadsWithAlphaAtSafeSizes) {
    std::vector<std::string> names(std::begin(pictures), std::end(pictures));
    names.insert(names.end(), std::begin(tracks), std::end(tracks));
    names.push_back("blip.wav");
    for (const std::string& name : names) {
        std::ifstream file(dataPath(name), std::ios::binary | std::ios::ate);
        ASSERT_TRUE(file.good()) << dataPath(name);
        EXPECT_GT(file.tellg(), 1000) << name;
    }
    for (const char* name : pictures) {
        Picture p;
        ASSERT_TRUE(loadPicture(name, p)) << name << ": " << IMG_GetError();
        EXPECT_TRUE(p.hasAlpha) << name;
        // Power-of-two sides keep the textures usable on old GL drivers too.
        for (int side : {p.width, p.height})
            EXPECT_TRUE(side >= 64 && side <= 1024 && (side & (side - 1)) == 0) << name;
    }
}

TEST(DataFiles, BackgroundIsUprightAndBubblesSeeThroughButThePlayers) {
    Picture bg, bubble, player;
    ASSERT_TRUE(loadPicture("bg.tga", bg) && loadPicture("bubble2.tga", bubble) &&
                loadPicture("bubble_player.tga", player));
    // Opaque, and the lit surface is at the top when loaded (not flipped).
    EXPECT_TRUE(std::all_of(bg.pixels.begin(), bg.pixels.end(),
                            [](const SDL_Color& px) { return px.unused == 255; }));
    const SDL_Color &top = bg.at(bg.width / 2, 0), &bottom = bg.at(bg.width / 2, bg.height - 1);
    EXPECT_GT(top.r + top.g + top.b, 2 * (bottom.r + bottom.g + bottom.b));
    // Round on a clear square; an ordinary bubble is see-through in the middle, solid at the rim,
    // and the player's bubble far more solid.
    int mid = bubble.width / 2;
    EXPECT_TRUE(bubble.at(0, 0).unused == 0 && player.at(0, 0).unused == 0);
    EXPECT_LT(bubble.at(mid, mid).unused, 80);
    EXPECT_GT(bubble.at(mid, mid * 2 - 6).unused, 150);
    EXPECT_GT(player.at(mid, mid).unused, 3 * bubble.at(mid, mid).unused);
}

TEST(DataFiles, BlipIsAShortClicklessSample) {
    SDL_AudioSpec format;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    ASSERT_NE(SDL_LoadWAV(dataPath("blip.wav").c_str(), &format, &buffer, &length), nullptr)
        << SDL_GetError();
    EXPECT_TRUE(format.freq == 44100 && format.format == AUDIO_S16LSB);
    double seconds = double(length) / 2 / format.channels / format.freq;
    EXPECT_TRUE(seconds >= 0.08 && seconds <= 0.15) << seconds;
    const Sint16* pcm = reinterpret_cast<const Sint16*>(buffer);
    // A sample that starts or stops away from zero clicks.
    EXPECT_TRUE(std::abs(pcm[0]) < 300 && std::abs(pcm[length / 2 - 1]) < 300);
    SDL_FreeWAV(buffer);
}

TEST(DataFiles, MusicTracksAreLongDistinctMp3s) {
    ASSERT_EQ(mpg123_init(), MPG123_OK);
    std::vector<std::string> contents;
    for (const char* name : tracks) {
        mpg123_handle* handle = mpg123_new(nullptr, nullptr);
        ASSERT_NE(handle, nullptr);
        ASSERT_EQ(mpg123_open(handle, dataPath(name).c_str()), MPG123_OK) << name;
        ASSERT_EQ(mpg123_scan(handle), MPG123_OK) << name;
        long rate = 0;
        int channels = 0, encoding = 0;
        ASSERT_EQ(mpg123_getformat(handle, &rate, &channels, &encoding), MPG123_OK) << name;
        double seconds = double(mpg123_length(handle)) / rate;
        EXPECT_TRUE(seconds >= 60 && seconds <= 120) << name << ": " << seconds;
        mpg123_delete(handle);
        std::ifstream file(dataPath(name), std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>());
    }
    EXPECT_TRUE(contents[0] != contents[1] && contents[1] != contents[2] &&
                contents[0] != contents[2]);
}
