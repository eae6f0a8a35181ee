// Sound samples and music without a sound device, on MP3 files that lame makes from noise.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/mp3_length.h"
#include "engine/sound_library.h"
#include "engine/tessel.h"
#include "tests/support/test_game.h"

namespace {
struct Audio : testing::Test {
    static void SetUpTestSuite() {
        TSLSetHeadless(true);
        for (auto [name, bytes] : {std::pair<std::string, int>{"two", 176400}, {"short", 22050}}) {
            const std::string base = dir.path + "/" + name;
            const std::string command =
                "head -c " + std::to_string(bytes) + " /dev/urandom > " + base + ".raw && lame " +
                "--quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m m " + base + ".raw " +
                base + ".mp3 2>/dev/null && lame --quiet --decode " + base + ".mp3 " + base +
                ".wav 2>/dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
        }
        writeWholeFile(path("notes.mp3").c_str(), "plain text, no frames");
    }
    static std::string path(const std::string& file) { return dir.path + "/" + file; }
    static ScratchDirectory dir;
};
ScratchDirectory Audio::dir;
} // namespace

// A track's length comes from its MP3 frames. Without a sound device the clock alone ends a
// track; a new one starts from the beginning. A paused track's clock stands still, and goes on
// from there: the pause is not played time.
TEST_F(Audio, MusicLastsItsFramesTimeRunsOnTheClockAndStandsStillInAPause) {
    TSLMusic music;
    music.PlayFile(path("two.mp3").c_str());
    const int length = music.GetLength();
    EXPECT_NEAR(length, 2000, 50);
    EXPECT_TRUE(music.GetTime() >= 0 && music.GetTime() < length) << music.GetTime();
    music.FinishForTest();
    EXPECT_EQ(music.GetTime(), length);
    music.PlayFile(path("two.mp3").c_str());
    EXPECT_LT(music.GetTime(), length);
    music.Pause();
    const int at = music.GetTime();
    SDL_Delay(600);
    EXPECT_EQ(music.GetTime(), at);
    music.Resume();
    EXPECT_LT(music.GetTime(), at + 600);
    music.PlayFile(path("short.mp3").c_str());
    const int shortLength = music.GetLength();
    EXPECT_NEAR(shortLength, 250, 50);
    SDL_Delay(Uint32(shortLength + 100));
    EXPECT_EQ(music.GetTime(), shortLength);
    for (const std::string& notAudio : {path("missing.mp3"), path("notes.mp3"), dir.path}) {
        music.PlayFile(notAudio.c_str());
        EXPECT_EQ(music.GetLength(), 0) << notAudio;
    }
    music.FinishForTest();
    EXPECT_EQ(music.GetTime(), 0);
    EXPECT_EQ(mp3LengthMillis(nullptr), 0);
}

TEST_F(Audio, SamplesCountEveryPlayEvenInSilenceAndPlayOnceLoadedIfAskedBefore) {
    TSLSoundInit();
    TSLSoundSample blip, missing;
    EXPECT_TRUE(blip.LoadFromFile(path("two.wav").c_str()));
    EXPECT_FALSE(missing.LoadFromFile(path("nothing.wav").c_str()));
    blip.Play();
    blip.Play();
    missing.Play();
    EXPECT_EQ(std::make_pair(blip.playCount, missing.playCount), std::make_pair(2, 1));
    // A sound asked for before its load plays once loaded.
    TSLSetHeadless(false); // the dummy audio driver of the test environment plays silently
    TSLSoundInit();
    {
        // The samples free their sound while the device is still theirs to use.
        TSLSoundSample early, late;
        early.Play();
        EXPECT_EQ(mixerCalls()->playing(-1), 0);
        ASSERT_TRUE(early.LoadFromFile(path("two.wav").c_str()));
        EXPECT_EQ(mixerCalls()->playing(-1), 1);
        // Once loaded, a sample plays only when asked.
        ASSERT_TRUE(late.LoadFromFile(path("two.wav").c_str()));
        EXPECT_EQ(mixerCalls()->playing(-1), 1);
    }
    TSLSetHeadless(true);
}
