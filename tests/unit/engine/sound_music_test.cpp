// Sound samples and music without a sound device, on real MP3 files made by lame.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "engine/mp3_length.h"
#include "engine/tessel.h"

namespace {
void put16(FILE* f, uint16_t value) {
    const unsigned char bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    std::fwrite(bytes, 1, 2, f);
}

void put32(FILE* f, uint32_t value) {
    put16(f, uint16_t(value));
    put16(f, uint16_t(value >> 16));
}

// A mono 16-bit 44.1 kHz sine tone.
void writeToneWav(const std::string& path, double seconds) {
    const uint32_t rate = 44100;
    const uint32_t samples = uint32_t(seconds * rate);
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + samples * 2);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1);
    put16(f, 1);
    put32(f, rate);
    put32(f, rate * 2);
    put16(f, 2);
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, samples * 2);
    for (uint32_t i = 0; i < samples; ++i)
        put16(f, uint16_t(int16_t(8000 * std::sin(i * 2 * M_PI * 440 / rate))));
    std::fclose(f);
}

class Audio : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        TSLSetHeadless(true);
        char pattern[] = "/tmp/orbelle-engine-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        makeMp3("two", 2.0);
        makeMp3("short", 0.25);
    }
    static void TearDownTestSuite() { EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0); }
    static void makeMp3(const std::string& name, double seconds) {
        const std::string wav = dir + "/" + name + ".wav";
        writeToneWav(wav, seconds);
        const std::string command = "lame --quiet '" + wav + "' '" + dir + "/" + name + ".mp3'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static std::string path(const std::string& file) { return dir + "/" + file; }
    static std::string dir;
};
std::string Audio::dir;
} // namespace

TEST_F(Audio, Mp3LengthComesFromTheFrames) {
    EXPECT_NEAR(mp3LengthMillis(path("two.mp3").c_str()), 2000, 50);
    EXPECT_NEAR(mp3LengthMillis(path("short.mp3").c_str()), 250, 50);
    EXPECT_EQ(mp3LengthMillis(path("missing.mp3").c_str()), 0);
    EXPECT_EQ(mp3LengthMillis(nullptr), 0);
    EXPECT_EQ(mp3LengthMillis(dir.c_str()), 0); // a directory is not a track

    // A file of plain text is not MP3 audio.
    const std::string text = path("notes.mp3");
    FILE* f = std::fopen(text.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("these are not the frames you are looking for\n", f);
    std::fclose(f);
    EXPECT_EQ(mp3LengthMillis(text.c_str()), 0);
}

TEST_F(Audio, MusicTimeRunsOnTheClockAndEqualsTheLengthOnceFinished) {
    TSLMusic music;
    EXPECT_EQ(music.GetLength(), 0);
    EXPECT_EQ(music.GetTime(), 0);
    EXPECT_EQ(music.CurrentFile(), "");

    const std::string two = path("two.mp3");
    music.PlayFile(two.c_str());
    EXPECT_EQ(music.CurrentFile(), two);
    const int length = music.GetLength();
    EXPECT_NEAR(length, 2000, 50);
    const int early = music.GetTime();
    EXPECT_GE(early, 0);
    EXPECT_LT(early, length);
    music.FinishForTest();
    EXPECT_EQ(music.GetTime(), length);
    EXPECT_EQ(music.GetTime(), music.GetLength());

    // A new track starts from the beginning again.
    music.PlayFile(two.c_str());
    EXPECT_LT(music.GetTime(), length);

    // Without a sound device the clock alone ends a track.
    music.PlayFile(path("short.mp3").c_str());
    const int shortLength = music.GetLength();
    ASSERT_GT(shortLength, 0);
    SDL_Delay(Uint32(shortLength + 100));
    EXPECT_EQ(music.GetTime(), shortLength);

    music.PlayFile(path("missing.mp3").c_str());
    EXPECT_EQ(music.GetLength(), 0);
    EXPECT_EQ(music.GetTime(), 0);
    music.FinishForTest();
    EXPECT_EQ(music.GetTime(), 0);
}

TEST_F(Audio, SamplesCountEveryPlayEvenInSilence) {
    TSLSoundInit(); // headless: opens nothing
    TSLSoundSample blip;
    EXPECT_EQ(blip.playCount, 0);
    const std::string wav = path("two.wav");
    EXPECT_TRUE(blip.LoadFromFile(wav.c_str()));
    blip.Play();
    blip.Play();
    EXPECT_EQ(blip.playCount, 2);

    TSLSoundSample missing;
    EXPECT_FALSE(missing.LoadFromFile(path("nothing.wav").c_str()));
    EXPECT_FALSE(missing.LoadFromFile(nullptr));
    missing.Play();
    EXPECT_EQ(missing.playCount, 1);
}
