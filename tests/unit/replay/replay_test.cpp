// Recorded rounds: the reference replays (tools/replays/replay_maker.cpp: a scripted player
// through the game's frame pass) play out to their claims in every build, and every way a file
// parts from the round it claims is refused, by the check and by --verify.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "game/replay_commands.h"
#include "game/round_end.h"
#include "replay/replay_play.h"
#include "replay/round_state.h"
#include "replay/verify_replay.h"
#include "tests/support/reference_replays.h"
#include "tests/support/test_game.h"

// Sets the milliseconds of frames [from, to) and marks a music turn in the last of them.
static void turnAfter(Replay& replay, size_t from, size_t to, uint32_t millis,
                      uint32_t lastMillis) {
    for (size_t i = from; i < to; ++i)
        replay.frames[i].millis = millis;
    replay.frames[to - 1].millis = lastMillis;
    replay.frames[to - 1].input |= replayMusicTurned;
}

TEST(ReferenceReplays, PlayOutToTheirClaims) {
    // Paused (1), given up with Escape in play (2) and while paused (6), a music turn (4), a name
    // entry left open and an entry made in mid-round (5).
    const std::tuple<const char*, int32_t, uint32_t> cases[] = {
        {"0", 226, 839},  {"1", 126, 623}, {"2", 562, 702},        {"3", 410, 1718},
        {"4", 205, 1646}, {"5", 53, 302},  {"5-entered", 53, 301}, {"6", 0, 302}};
    for (const auto& [round, score, frames] : cases) {
        const ReplayVerdict verdict = verifyReplay(referenceReplay(round));
        EXPECT_EQ(std::make_tuple(verdict.kind, verdict.score, verdict.frames, verdict.reason),
                  std::make_tuple(ReplayVerdictKind::ok, score, frames, std::string()))
            << round;
    }
}

// --verify: 0 and what the round reached; 1 and the first frame that parts from the file for a
// round that did not happen so; 2 for what is no replay.
TEST(VerifyCommand, RefusesEveryWayAFilePartsFromItsRound) {
    const struct {
        const char* what;
        std::string bytes;
        int status;
        const char* says;
    } cases[] = {
        {"the round as recorded", referenceReplay("4"), 0, "score 205 frames 1646\n"},
        {"one input changed",
         changedReplay("4", [](Replay& r) { r.frames[10].input ^= replayHeldLeft; }), 1,
         "(first frame that parts: 63)"},
        {"a higher score claimed", changedReplay("4", [](Replay& r) { ++r.score; }), 1,
         "ends with 205 points, not the 206 claimed (first frame that parts: 1645)"},
        {"frames cut off its end", changedReplay("4", [](Replay& r) { r.frames.resize(1600); }), 1,
         "claimed (first frame that parts: 1599)"},
        {"the file cut short", referenceReplay("4").substr(0, 300), 2, "a damaged replay"},
        {"another generator at the start",
         changedReplay("4", [](Replay& r) { r.start.randomState ^= 1; }), 1, "parts: 63)"},
        {"a slower saved bubble speed",
         changedReplay("4", [](Replay& r) { r.start.savedBubbleSpeed = 0.99f; }), 1,
         "saved bubble speed is below the round's own start speed (first frame that parts: 0)"},
        {"a slower saved spike ball speed",
         changedReplay("4", [](Replay& r) { r.start.savedSpikeSpeed = 1.99f; }), 1,
         "saved spike ball speed is below"},
        {"a bubble fewer", changedReplay("4", [](Replay& r) { r.start.collectable.pop_back(); }), 1,
         "another number of bubbles"},
        {"keys in the round's first frame",
         changedReplay("4", [](Replay& r) { r.frames[0].input = replayHeldUp; }), 1,
         "keys held in the frame that starts the round in frame 0"},
        {"a frame not steered, no name entry open",
         changedReplay("4", [](Replay& r) { r.frames[7].input = replayNotSteered; }), 1,
         "without a name entry open in frame 7"},
        {"keys in a frame not steered",
         changedReplay("5", [](Replay& r) { r.frames[101].input |= replayHeldDown; }), 1,
         "keys held in a frame not steered in frame 101"},
        {"music turns 81.499 s apart",
         changedReplay("4", [](Replay& r) { turnAfter(r, 1450, 1550, 815, 814); }), 1,
         "the music turning sooner than a track ends in frame 1549"},
        {"music turns 81.5 s apart (the first frame that parts is a steered one)",
         changedReplay("4", [](Replay& r) { turnAfter(r, 1450, 1550, 815, 815); }), 1,
         "check value in frame 1471"},
        {"frames after Escape",
         changedReplay("2",
                       [](Replay& r) {
                           r.frames.resize(720, ReplayFrame{16, 0});
                       }),
         1, "goes on after the round ended in frame 701 (first frame that parts: 702)"},
        {"no frames", changedReplay("4", [](Replay& r) { r.frames.clear(); }), 1,
         "a round has at least the one it starts in"},
        {"no replay", "GIF89a", 2, "is not an Orbelle replay\n"},
    };
    ScratchDirectory scratch;
    for (const auto& c : cases) {
        writeWholeFile("file.orbr", c.bytes);
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        const int status = verifyReplayFile("file.orbr", out, err);
        const std::string said = textOf(out) + textOf(err);
        EXPECT_EQ(status, c.status) << c.what << ": " << said;
        EXPECT_NE(said.find(c.says), std::string::npos) << c.what << ": " << said;
        // --replay opens what reads as a replay, without a word, and names the rest.
        Replay watched;
        err = std::tmpfile();
        EXPECT_EQ(loadReplayFile("file.orbr", &watched, err), c.status != 2) << c.what;
        EXPECT_EQ(textOf(err).empty(), c.status != 2) << c.what;
    }
    FILE* err = std::tmpfile();
    EXPECT_EQ(verifyReplayFile("missing.orbr", stdout, err), 2);
    EXPECT_EQ(textOf(err), "orbelle: cannot read missing.orbr: No such file or directory\n");
}

// A server bounds what a check costs: the frames it may play, the CPU time it may take.
TEST(VerifyLimits, OverALimitIsTooCostly) {
    // The frames and milliseconds allowed, and whether the round is played out.
    const std::tuple<uint32_t, uint32_t, bool> cases[] = {
        {1646, 0, true},
        {1645, 0, false},
        // The round takes some 10 ms: the check stops at a look at the clock.
        {1646, 1, false}};
    for (const auto& [maxFrames, maxCpuMillis, played] : cases) {
        const ReplayVerdict verdict = verifyReplay(referenceReplay("4"), {maxFrames, maxCpuMillis});
        EXPECT_EQ(std::make_tuple(verdict.kind, verdict.frames == 1646, verdict.frames % 64),
                  std::make_tuple(played ? ReplayVerdictKind::ok : ReplayVerdictKind::tooCostly,
                                  played, played ? 1646 % 64 : 0))
            << maxFrames << " frames, " << maxCpuMillis << " ms";
    }
}

// Watching plays each recorded frame once, one a tick, then holds the last picture until Escape
// or the window's close comes (here from a timer, long after the last frame); any other key
// goes unheeded.
TEST(WatchReplay, PlaysEveryFrameThenHoldsItUntilEscapeOrClose) {
    Replay replay;
    ASSERT_EQ(decodeReplay(referenceReplay("5"), &replay), ReplayReadError::none);
    replay.frames.resize(8);
    resetGameWithFieldsForTest();
    setUpReplayedRound(replay);
    for (size_t i = 0; i < replay.frames.size(); ++i)
        playReplayedFrame(
            replay, i, [] {}, [](int) {});
    const uint32_t reached = roundStateCheck();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_TIMER), 0);
    for (int leave : {int(SDL_QUIT), int(SDLK_ESCAPE)}) {
        resetGameWithFieldsForTest();
        pushTestEvent(SDL_KEYDOWN, 'a');
        static int leaving;
        leaving = leave;
        SDL_AddTimer(
            2000,
            [](Uint32, void*) -> Uint32 {
                leaving == SDL_QUIT ? pushTestEvent(SDL_QUIT) : pushTestEvent(SDL_KEYDOWN, leaving);
                return 0;
            },
            nullptr);
        alarm(30); // a watch that never ends fails the test program
        watchReplay(replay);
        alarm(0);
        EXPECT_EQ(roundStateCheck(), reached) << leave;
    }
    installRoundEnd();
}
