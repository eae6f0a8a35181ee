// Checks of the asset generator itself: the encoders against the readers the game uses, the
// mastering, and that the committed pictures are exactly what the generator paints today.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/assets/audio.h"
#include "tools/assets/encoders.h"
#include "tools/assets/generate.h"
#include "tools/assets/music.h"

namespace {

// A picture whose every pixel differs, with partial alpha, so swapped channels, flipped rows
// or a lost alpha channel all show.
Image testPattern(int width, int height) {
    Image image = makeImage(width, height, {0, 0, 0, 0});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.at(x, y) = {x / 255.0f, y / 255.0f, ((x * 7 + y * 3) % 256) / 255.0f,
                              ((x + y) % 4 + 1) / 4.0f};
    return image;
}

// TGA has no magic number, so the reader is told the type as IMG_Load would from the name.
SDL_Surface* loadFromMemory(const Bytes& bytes, const char* type) {
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    return IMG_LoadTyped_RW(rw, 1, const_cast<char*>(type));
}

void expectSameImage(const Image& image, SDL_Surface* surface) {
    ASSERT_NE(surface, nullptr) << IMG_GetError();
    ASSERT_EQ(surface->w, image.width);
    ASSERT_EQ(surface->h, image.height);
    ASSERT_NE(surface->format->Amask, 0u);
    ASSERT_EQ(surface->format->BytesPerPixel, 4);
    SDL_LockSurface(surface);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            Uint32 value = *reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) +
                                                      y * surface->pitch + x * 4);
            Uint8 r, g, b, a;
            SDL_GetRGBA(value, surface->format, &r, &g, &b, &a);
            const Colour& c = image.at(x, y);
            ASSERT_EQ(r, toByte(c.r)) << x << "," << y;
            ASSERT_EQ(g, toByte(c.g)) << x << "," << y;
            ASSERT_EQ(b, toByte(c.b)) << x << "," << y;
            ASSERT_EQ(a, toByte(c.a)) << x << "," << y;
        }
    }
    SDL_UnlockSurface(surface);
    SDL_FreeSurface(surface);
}

std::string readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace

TEST(AssetEncoders, ChecksumsMatchTheirStandardValues) {
    const std::string check = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    const std::string wiki = "Wikipedia";
    EXPECT_EQ(adler32(reinterpret_cast<const uint8_t*>(wiki.data()), wiki.size()), 0x11E60398u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);
    EXPECT_EQ(adler32(nullptr, 0), 1u);
}

TEST(AssetEncoders, TgaAndPngReadBackPixelForPixel) {
    Image small = testPattern(5, 3);
    expectSameImage(small, loadFromMemory(encodeTga(small), "TGA"));
    expectSameImage(small, loadFromMemory(encodePng(small), "PNG"));
    // Over 64 KiB of pixel data: the PNG stream must span several stored blocks.
    Image large = testPattern(160, 120);
    expectSameImage(large, loadFromMemory(encodePng(large), "PNG"));
}

TEST(AssetEncoders, WavReadsBackThroughSdl) {
    std::vector<int16_t> samples = {0, 1000, -1000, 32767, -32768, 5};
    Bytes bytes = encodeWav(samples, 2, 22050);
    SDL_AudioSpec wavFormat;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    ASSERT_NE(SDL_LoadWAV_RW(rw, 1, &wavFormat, &buffer, &length), nullptr) << SDL_GetError();
    EXPECT_EQ(wavFormat.freq, 22050);
    EXPECT_EQ(wavFormat.channels, 2);
    EXPECT_EQ(wavFormat.format, AUDIO_S16LSB);
    ASSERT_EQ(length, samples.size() * 2);
    EXPECT_EQ(0, std::memcmp(buffer, samples.data(), length));
    SDL_FreeWAV(buffer);
}

TEST(AssetAudio, MasteringHitsThePeakFadesTheEndsAndClamps) {
    StereoBuffer track = makeStereo(sampleRate);
    for (size_t i = 0; i < track.left.size(); ++i) {
        track.left[i] = 3.0f * std::sin(i * 0.05f);
        track.right[i] = -2.0f;
    }
    masterTrack(track, 0.5f, 0.1, 0.1);
    float peak = 0.0f;
    for (size_t i = 0; i < track.left.size(); ++i)
        peak = std::max({peak, std::fabs(track.left[i]), std::fabs(track.right[i])});
    EXPECT_NEAR(peak, 0.5f, 0.01f);
    EXPECT_EQ(track.left.front(), 0.0f);
    EXPECT_EQ(track.right.front(), 0.0f);
    EXPECT_EQ(track.right.back(), 0.0f);

    // Silence must stay silence, not turn into NaN from a zero peak.
    StereoBuffer silent = makeStereo(1000);
    masterTrack(silent, 0.9f, 0.01, 0.01);
    for (float s : silent.left)
        ASSERT_EQ(s, 0.0f);

    // Out-of-range values saturate instead of wrapping round to the other sign.
    std::vector<int16_t> pcm = toPcm(std::vector<float>{1.5f, -1.5f, 0.5f});
    EXPECT_EQ(pcm[0], 32767);
    EXPECT_EQ(pcm[1], -32767);
    EXPECT_NEAR(pcm[2], 16384, 1);
}

TEST(AssetMusic, PiecesAreLongEnoughAndNoNoteIsCutOff) {
    for (const Piece& piece : {composeSurr(), composeSeagull(), composeOrgan()}) {
        EXPECT_GE(piece.seconds, 70.0) << piece.name;
        EXPECT_LE(piece.seconds, 95.0) << piece.name;
        ASSERT_FALSE(piece.notes.empty()) << piece.name;
        double lastEnd = 0.0;
        for (const Note& note : piece.notes) {
            ASSERT_GE(note.start, 0.0) << piece.name;
            lastEnd = std::max(lastEnd, note.start + note.length);
            // Anything outside the piano's range is a composition slip, not music.
            ASSERT_GE(note.midi, 21.0) << piece.name;
            ASSERT_LE(note.midi, 108.0) << piece.name;
        }
        // The final fade needs room after the last held note.
        EXPECT_LT(lastEnd, piece.seconds - 1.0) << piece.name;
    }
}

TEST(AssetFiles, CommittedPicturesAndBlipMatchTheGenerator) {
    const char* fromEnv = std::getenv("ORBELLE_SOURCE_DIR");
    std::string self = __FILE__;
    std::string source = fromEnv && *fromEnv ? std::string(fromEnv)
                                             : self.substr(0, self.rfind("/tests/unit/assets/"));
    char dirTemplate[] = "/tmp/orbelle-assets-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    std::string dir = dirTemplate;
    ASSERT_TRUE(writeImages(dir));
    ASSERT_TRUE(writeSoundEffects(dir));
    std::vector<std::string> names = imageFileNames();
    names.push_back("blip.wav");
    for (const std::string& name : names) {
        std::string fresh = readAll(dir + "/" + name);
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_TRUE(fresh == readAll(source + "/data/" + name))
            << name << " is stale: run tools/make-assets.sh";
        std::remove((dir + "/" + name).c_str());
    }
    std::remove(dir.c_str());
    EXPECT_FALSE(writeImages(dir + "/missing/dir"));
}
