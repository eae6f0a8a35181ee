#include "replay/verify_replay.h"

#include <ctime>
#include <mutex>

#include "field/collisions.h"
#include "field/steering.h"
#include "record/game_state.h"
#include "replay/replay_play.h"
#include "replay/round_state.h"
#include "scores/result_screen.h"

namespace {
// The simulation is the process's one global record: one check at a time.
std::mutex simulationInUse;

void nothingShown() {}
void noTrackPlayed(int) {}

uint64_t cpuMicros() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec) / 1000;
}

ReplayVerdict refused(ReplayVerdict verdict, ReplayVerdictKind kind, const std::string& reason,
                      int64_t frame = -1) {
    verdict.kind = kind;
    verdict.reason = reason;
    verdict.divergedAt = kind == ReplayVerdictKind::mismatch ? frame : -1;
    return verdict;
}

std::string atFrame(const char* what, size_t frame) {
    return std::string(what) + " in frame " + std::to_string(frame);
}

// Inputs the game never records: steering in the round's first frame, a frame not steered
// without a name entry open, keys seen by steering that did not run, the music turning sooner
// than a track can end. The first such frame and why; null when there is none.
const char* impossibleInput(const Replay& replay, size_t* frame) {
    uint64_t sinceTurn = 0;
    bool turned = false;
    for (size_t i = 0; i < replay.frames.size(); ++i) {
        const uint8_t bits = replay.frames[i].input;
        *frame = i;
        if (i == 0 && (bits & ~replayMusicTurned))
            return "keys held in the frame that starts the round";
        const bool notSteered = (bits & replayNotSteered) != 0;
        if (notSteered && !replay.start.nameEntryOpen)
            return "a frame not steered without a name entry open";
        if (notSteered && (bits & steeringKeys))
            return "keys held in a frame not steered";
        sinceTurn += replay.frames[i].millis;
        if (bits & replayMusicTurned) {
            if (turned && sinceTurn < replayMinTrackTurnMillis)
                return "the music turning sooner than a track ends";
            turned = true;
            sinceTurn = 0;
        }
    }
    return nullptr;
}

// The round's end is the game's to carry out (the blip, the name entry, the download): a check
// only learns that it came.
struct QuietRoundEnd {
    void (*const gameHandler)() = roundEndHandler;
    QuietRoundEnd() { roundEndHandler = nullptr; }
    ~QuietRoundEnd() { roundEndHandler = gameHandler; }
};

ReplayVerdict playRound(const Replay& replay, const VerifyLimits& limits, ReplayVerdict verdict) {
    std::lock_guard<std::mutex> lock(simulationInUse);
    QuietRoundEnd quiet;
    setUpReplayedRound(replay);
    const uint64_t cpuStart = cpuMicros();
    const size_t frames = replay.frames.size();
    for (size_t i = 0; i < frames; ++i) {
        playReplayedFrame(replay, i, nothingShown, noTrackPlayed);
        verdict.frames = uint32_t(i + 1);
        verdict.score = scoreToInt(game.score);
        if (verdict.frames % replayCheckInterval == 0) {
            if (roundStateCheck() != replay.checks[i / replayCheckInterval])
                return refused(verdict, ReplayVerdictKind::mismatch,
                               atFrame("the round parts from the file's check value", i), i);
            if (limits.maxCpuMillis && cpuMicros() - cpuStart > limits.maxCpuMillis * 1000ull)
                return refused(verdict, ReplayVerdictKind::tooCostly,
                               "over the time allowed for a check");
        }
        if (roundOver() && i + 1 < frames)
            return refused(verdict, ReplayVerdictKind::mismatch,
                           atFrame("the file goes on after the round ended", i), i + 1);
    }
    if (verdict.score != replay.score)
        return refused(verdict, ReplayVerdictKind::mismatch,
                       "the round ends with " + std::to_string(verdict.score) +
                           " points, not the " + std::to_string(replay.score) + " claimed",
                       int64_t(frames) - 1);
    verdict.kind = ReplayVerdictKind::ok;
    return verdict;
}
} // namespace

ReplayVerdict verifyReplay(const std::string& bytes, const VerifyLimits& limits) {
    ReplayVerdict verdict;
    Replay replay;
    const ReplayReadError error = decodeReplay(bytes, &replay);
    if (error != ReplayReadError::none)
        return refused(verdict, ReplayVerdictKind::malformed, replayReadErrorText(error));
    verdict.name = replay.name;
    verdict.claimedScore = replay.score;
    verdict.claimedFrames = uint32_t(replay.frames.size());
    if (replay.frames.size() > limits.maxFrames)
        return refused(verdict, ReplayVerdictKind::tooCostly, "more frames than allowed");
    if (replay.frames.empty())
        return refused(verdict, ReplayVerdictKind::mismatch,
                       "no frames: a round has at least the one it starts in", 0);
    if (const char* why = impossibleRoundStart(replay.start))
        return refused(verdict, ReplayVerdictKind::mismatch, why, 0);
    size_t frame = 0;
    if (const char* why = impossibleInput(replay, &frame))
        return refused(verdict, ReplayVerdictKind::mismatch, atFrame(why, frame), int64_t(frame));
    return playRound(replay, limits, verdict);
}

const char* replayVerdictWord(ReplayVerdictKind kind) {
    switch (kind) {
    case ReplayVerdictKind::ok:
        return "ok";
    case ReplayVerdictKind::mismatch:
        return "mismatch";
    case ReplayVerdictKind::malformed:
        return "malformed";
    case ReplayVerdictKind::tooCostly:
        return "too costly";
    }
    return "unknown";
}
