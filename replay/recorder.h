// The game records every round it plays, as its inputs: the start the rules cannot work out,
// then each frame's milliseconds and what steering saw (docs/file-formats.md). Recording adds
// a few bytes a frame and a check value every 64 frames.
#pragma once

#include <cstdint>
#include <string>

#include "field/play_frame.h"

// "Start game": the round starts here and is recorded from this frame on.
void startRecordedRound();
// After each frame of the game's frame pass, with what the frame took.
void recordFrame(const FrameInput& input);
// After a paused pass, which is no frame of the round: Escape there ends the round.
void recordPausedPass();
// The replay file of the last round played, so far as it has been played: every frame before
// the one running now. Named and scored as the result committed now. Empty when no round has
// been recorded (or one ran past six hours).
std::string replayOfLastRound(const std::string& name, int32_t score);
