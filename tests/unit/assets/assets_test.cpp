// The data files as the game loads them: the icons' sizes and alpha, the opaque background and
// the music tracks' lengths.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "engine/mp3_length.h"
#include "replay/verify_replay.h"

static std::string dataPath(const std::string& name) {
    return std::string(ORBELLE_TEST_SOURCE_DIR) + "/data/" + name;
}

static Uint8 alphaAt(SDL_Surface* s, int x, int y) {
    SDL_Color c;
    Uint32 pixel =
        *reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch + x * 4);
    SDL_GetRGBA(pixel, s->format, &c.r, &c.g, &c.b, &c.unused);
    return c.unused;
}

// Desktops pick an icon by the size it claims; the background stands in for the frame's clear.
TEST(DataFiles, IconsHaveTheirSizeAndTransparentCornersAndTheBackgroundIsOpaque) {
    for (int size : {16, 32, 48, 64, 128, 256, 512}) {
        const bool background = size == 512;
        SDL_Surface* s = IMG_Load(
            dataPath(background ? "bg.tga" : "icons/orbelle-" + std::to_string(size) + ".png")
                .c_str());
        ASSERT_NE(s, nullptr) << size << ": " << IMG_GetError();
        ASSERT_EQ(s->format->BytesPerPixel, 4) << size;
        EXPECT_EQ(std::make_pair(s->w, s->h), std::make_pair(size, size));
        EXPECT_EQ(alphaAt(s, 0, 0), background ? 255 : 0) << size;
        EXPECT_GT(alphaAt(s, size / 2, size / 2), 200) << size;
        SDL_FreeSurface(s);
    }
}

// Read as the game reads them to time the next track. The shortest decides how soon a replay's
// music may turn again.
TEST(DataFiles, MusicTracksLastOneToTwoMinutesTheShortestBoundingTheTurns) {
    int shortest = INT_MAX;
    for (const char* name : {"surr.mp3", "seagull.mp3", "organ.mp3"}) {
        const int millis = mp3LengthMillis(dataPath(name).c_str());
        EXPECT_TRUE(millis >= 60000 && millis <= 120000) << name << ": " << millis << " ms";
        shortest = std::min(shortest, millis);
    }
    EXPECT_EQ(replayMinTrackTurnMillis, uint32_t(shortest - 1000));
}
