#include "replay/replay_play.h"

#include "field/fields.h"
#include "field/materials.h"
#include "field/play_frame.h"
#include "field/steering.h"
#include "record/game_state.h"
#include "record/random.h"
#include "replay/round_state.h"

namespace {
// What the frame being played took, as the file gives it.
uint8_t frameBits = 0;

void recordedInput() {
    if (!(frameBits & replayNotSteered))
        steerPlayer(frameBits & steeringKeys);
}

bool recordedTrackEnd() {
    return (frameBits & replayMusicTurned) != 0;
}
} // namespace

// The sprites are reused: whoever holds them keeps them.
void setUpReplayedRound(const Replay& replay) {
    if (!game.materials.GetMaterial(bubbleMaterialName))
        createMaterials();
    resetGameRand();
    createBubbles(maxBubbles);
    createSpikes(maxSpikes);
    applyRoundStart(replay.start);
}

void playReplayedFrame(const Replay& replay, size_t i, void (*show)(), void (*startTrack)(int)) {
    frameBits = replay.frames[i].input;
    game.frameMillis = replay.frames[i].millis;
    const PlayFrameSteps steps = {recordedInput, show, recordedTrackEnd, startTrack};
    // The round's first frame: its fields moved and its input was taken on the menu, before
    // "Start game" placed the fields.
    if (i == 0) {
        resetRound();
        finishPlayFrame(steps);
    } else {
        runPlayFrame(steps);
    }
}
