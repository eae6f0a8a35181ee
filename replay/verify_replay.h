// Whether a replay file reaches what it claims: the round is played again from the file's
// start state with the file's inputs, by the game's own simulation, and its check values,
// score and frame count compared with the file's. Linked by the game (--verify) and by the
// score server, which loads no SDL, OpenGL or sound library for it.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/replay_format.h"

struct VerifyLimits {
    // A replay of more frames is refused unplayed, as too costly (the file allows six hours).
    uint32_t maxFrames = replayMaxFrames;
    // The CPU time the check may take on the calling thread, in milliseconds; 0 for no limit.
    // Looked at every 64 frames, so a check stops within about half a millisecond of it.
    uint32_t maxCpuMillis = 0;
};

enum class ReplayVerdictKind {
    ok,        // the round plays out to the score and frame count the file claims
    mismatch,  // it parts from the file: divergedAt names the first frame that does
    malformed, // not a replay, damaged, or a start or input no game could have: reason says
    tooCostly, // over the limits: not (or not fully) played
};

struct ReplayVerdict {
    ReplayVerdictKind kind = ReplayVerdictKind::malformed;
    // One line for a person; empty when ok.
    std::string reason;
    // What the file says, once it could be read: the name as typed (bytes, at most 15), the
    // claimed score and frame count.
    std::string name;
    int32_t claimedScore = 0;
    uint32_t claimedFrames = 0;
    // What the replay reached: the score cut to a whole number, and the frames played.
    int32_t score = 0;
    uint32_t frames = 0;
    // For a mismatch: the first frame (counted from 0) after which the replayed round and the
    // file disagree; -1 otherwise.
    int64_t divergedAt = -1;
};

// The music turns to another track no sooner than this after it last turned: the shortest of
// the game's tracks lasts 82.5 s, less a second for the steps of the clocks that time frames
// and music. A file with turns closer together would draw from the generator when no game did.
const uint32_t replayMinTrackTurnMillis = 82500 - 1000;

// Safe to call from several threads at once; checks run one at a time, each on the process's
// one copy of the simulation (the CPU limit counts only the caller's own running time).
// A check takes some 17 ms of CPU time per minute of play (docs/replays.md).
ReplayVerdict verifyReplay(const std::string& bytes, const VerifyLimits& limits = VerifyLimits());
// "ok", "mismatch", "malformed", "too costly".
const char* replayVerdictWord(ReplayVerdictKind kind);
