// What a replay plays, apart from the name it carries, which is no part of the round: a kept
// replay that anyone may download must not prove the same round again under another name.
#pragma once

#include <string>

#include "protocol/replay_format.h"

// 16 bytes, equal for two replays of one round: the same start, result and frame count, and
// the same states at every check. Keys changed where they change nothing leave it as it is.
// A round too short for a check is told by its frames.
std::string replayRound(const Replay& replay);
