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
void expectReadsBackAs(const Image& image, const Bytes& bytes, const char* type) {
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    SDL_Surface* surface = IMG_LoadTyped_RW(rw, 1, const_cast<char*>(type));
    ASSERT_NE(surface, nullptr) << IMG_GetError();
    ASSERT_TRUE(surface->w == image.width && surface->h == image.height);
    // A software surface, read without locking.
    ASSERT_TRUE(surface->format->Amask != 0 && surface->format->BytesPerPixel == 4);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            Uint32 value = *reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) +
                                                      y * surface->pitch + x * 4);
            Uint8 r, g, b, a;
            SDL_GetRGBA(value, surface->format, &r, &g, &b, &a);
            const Colour& c = image.at(x, y);
            ASSERT_TRUE(r == toByte(c.r) && g == toByte(c.g) && b == toByte(c.b) &&
                        a == toByte(c.a))
                << type << " at " << x << "," << y;
        }
    }
    SDL_FreeSurface(surface);
}

std::string readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
} // namespace

TEST(AssetEncoders, TgaPngAndWavReadBackExactly) {
    Image small = testPattern(5, 3);
    expectReadsBackAs(small, encodeTga(small), "TGA");
    expectReadsBackAs(small, encodePng(small), "PNG");
    // Over 64 KiB of pixel data: the PNG stream must span several stored blocks.
    Image large = testPattern(160, 120);
    expectReadsBackAs(large, encodePng(large), "PNG");

    std::vector<int16_t> samples = {0, 1000, -1000, 32767, -32768, 5};
    Bytes bytes = encodeWav(samples, 2, 22050);
    SDL_AudioSpec format;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    ASSERT_NE(SDL_LoadWAV_RW(rw, 1, &format, &buffer, &length), nullptr) << SDL_GetError();
    EXPECT_TRUE(format.freq == 22050 && format.channels == 2 && format.format == AUDIO_S16LSB);
    EXPECT_TRUE(length == samples.size() * 2 && std::memcmp(buffer, samples.data(), length) == 0);
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
    EXPECT_TRUE(track.left.front() == 0 && track.right.front() == 0 && track.right.back() == 0);

    // Silence must stay silence, not turn into NaN from a zero peak.
    StereoBuffer silent = makeStereo(1000);
    masterTrack(silent, 0.9f, 0.01, 0.01);
    EXPECT_TRUE(
        std::all_of(silent.left.begin(), silent.left.end(), [](float s) { return s == 0; }));

    // Out-of-range values saturate instead of wrapping round to the other sign.
    std::vector<int16_t> pcm = toPcm(std::vector<float>{1.5f, -1.5f, 0.5f});
    EXPECT_TRUE(pcm[0] == 32767 && pcm[1] == -32767 && std::abs(pcm[2] - 16384) <= 1);
}

TEST(AssetMusic, PiecesAreLongEnoughAndNoNoteIsCutOff) {
    for (const Piece& piece : {composeSurr(), composeSeagull(), composeOrgan()}) {
        EXPECT_TRUE(piece.seconds >= 70 && piece.seconds <= 95) << piece.name;
        double lastEnd = 0.0;
        for (const Note& note : piece.notes) {
            lastEnd = std::max(lastEnd, note.start + note.length);
            // Anything outside the piano's range is a composition slip, not music.
            ASSERT_TRUE(note.start >= 0 && note.midi >= 21 && note.midi <= 108) << piece.name;
        }
        // There are notes, and the final fade needs room after the last held one.
        EXPECT_TRUE(lastEnd > 0 && lastEnd < piece.seconds - 1.0) << piece.name;
    }
}

TEST(AssetFiles, CommittedPicturesAndBlipMatchTheGenerator) {
    const char* fromEnv = std::getenv("ORBELLE_SOURCE_DIR");
    std::string self = __FILE__;
    std::string source = fromEnv && *fromEnv ? fromEnv : self.substr(0, self.rfind("/tests/"));
    char dirTemplate[] = "/tmp/orbelle-assets-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    std::string dir = dirTemplate;
    ASSERT_TRUE(writeImages(dir) && writeSoundEffects(dir));
    std::vector<std::string> names = imageFileNames();
    names.push_back("blip.wav");
    for (const std::string& name : names) {
        std::string fresh = readAll(dir + "/" + name);
        EXPECT_TRUE(fresh == readAll(source + "/data/" + name))
            << name << " is stale: run tools/make-assets.sh";
        std::remove((dir + "/" + name).c_str());
    }
    std::remove(dir.c_str());
    EXPECT_FALSE(writeImages(dir + "/missing/dir"));
}
