// Checks of the asset generator itself: the encoders against the readers the game uses, and
// that the committed pictures and blip are exactly what the generator makes today.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/assets/encoders.h"
#include "tools/assets/generate.h"

namespace {
// A picture whose every pixel differs, with partial alpha, so swapped channels, flipped rows
// or a lost alpha channel all show. TGA has no magic number, so the reader is told the type
// as IMG_Load would from the name.
void expectPatternReadsBack(int width, int height, Bytes (*encode)(const Image&), char* type) {
    Image image = makeImage(width, height, {0, 0, 0, 0});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.at(x, y) = {x / 255.0f, y / 255.0f, ((x * 7 + y * 3) % 256) / 255.0f,
                              ((x + y) % 4 + 1) / 4.0f};
    Bytes bytes = encode(image);
    SDL_Surface* surface =
        IMG_LoadTyped_RW(SDL_RWFromConstMem(bytes.data(), int(bytes.size())), 1, type);
    ASSERT_NE(surface, nullptr) << IMG_GetError();
    // A software surface, read without locking.
    ASSERT_TRUE(surface->w == width && surface->h == height && surface->format->Amask != 0 &&
                surface->format->BytesPerPixel == 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Colour& c = image.at(x, y);
            ASSERT_EQ(
                *reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) +
                                           y * surface->pitch + x * 4),
                SDL_MapRGBA(surface->format, toByte(c.r), toByte(c.g), toByte(c.b), toByte(c.a)))
                << type << " at " << x << "," << y;
        }
    SDL_FreeSurface(surface);
}

std::string readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
} // namespace

TEST(AssetEncoders, TgaPngAndWavReadBackExactly) {
    char tga[] = "TGA", png[] = "PNG";
    expectPatternReadsBack(5, 3, encodeTga, tga);
    expectPatternReadsBack(5, 3, encodePng, png);
    // Over 64 KiB of pixel data: the PNG stream must span several stored blocks.
    expectPatternReadsBack(160, 120, encodePng, png);

    std::vector<int16_t> samples = {0, 1000, -1000, 32767, -32768, 5};
    Bytes bytes = encodeWav(samples, 2, 22050);
    SDL_AudioSpec format;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    ASSERT_NE(SDL_LoadWAV_RW(rw, 1, &format, &buffer, &length), nullptr) << SDL_GetError();
    EXPECT_EQ(format.freq, 22050);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.format, AUDIO_S16LSB);
    ASSERT_EQ(length, samples.size() * 2);
    EXPECT_EQ(std::memcmp(buffer, samples.data(), length), 0);
    SDL_FreeWAV(buffer);
}

TEST(AssetFiles, CommittedPicturesAndBlipMatchTheGenerator) {
    const char* fromEnv = std::getenv("ORBELLE_SOURCE_DIR");
    std::string self = __FILE__, source = self.substr(0, self.rfind("/tests/"));
    source = fromEnv && *fromEnv ? fromEnv : source;
    char dirTemplate[] = "/tmp/orbelle-assets-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    std::string dir = dirTemplate;
    ASSERT_TRUE(writeImages(dir) && writeSoundEffects(dir));
    std::vector<std::string> names = imageFileNames();
    names.push_back("blip.wav");
    for (const std::string& name : names)
        EXPECT_TRUE(readAll(dir + "/" + name) == readAll(source + "/data/" + name))
            << name << " is stale: run tools/make-assets.sh";
    std::filesystem::remove_all(dir);
}
