#include "replay/recorder.h"

#include "field/fields.h"
#include "field/steering.h"
#include "protocol/replay_format.h"
#include "record/game_state.h"
#include "replay/round_state.h"

static_assert(int(steerUp) == replayHeldUp && int(steerDown) == replayHeldDown &&
                  int(steerLeft) == replayHeldLeft && int(steerRight) == replayHeldRight &&
                  int(steerEscape) == replayHeldEscape,
              "the file keeps the held keys as steering sees them");

namespace {
Replay lastRound;
bool roundRecorded = false;
// The last round is still being played.
bool recording = false;
// It ran past what a file holds; no replay is made of it.
bool overrun = false;

void stopOnceOver() {
    if (roundOver())
        recording = false;
}
} // namespace

void startRecordedRound() {
    lastRound.start = captureRoundStart();
    lastRound.frames.clear();
    lastRound.checks.clear();
    resetRound();
    roundRecorded = recording = true;
    overrun = false;
}

void recordFrame(const FrameInput& input) {
    if (!recording)
        return;
    uint8_t bits = input.trackTurned ? replayMusicTurned : 0;
    // The round's first frame took its input on the menu, before the round began.
    if (!lastRound.frames.empty())
        bits |= input.steered ? input.heldKeys : uint8_t(replayNotSteered);
    lastRound.frames.push_back({game.frameMillis, bits});
    if (lastRound.frames.size() % replayCheckInterval == 0)
        lastRound.checks.push_back(roundStateCheck());
    stopOnceOver();
    if (recording && lastRound.frames.size() == replayMaxFrames) {
        overrun = true;
        recording = false;
    }
}

void recordPausedPass() {
    if (recording)
        stopOnceOver();
}

std::string replayOfLastRound(const std::string& name, int32_t score) {
    if (!roundRecorded || overrun)
        return std::string();
    Replay replay = lastRound;
    replay.name = name.substr(0, replayMaxNameLength);
    replay.score = score;
    return encodeReplay(replay);
}
