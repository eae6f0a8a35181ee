// The state of a round as a replay sees it: what its start carries over from before the round,
// and a check value of everything the round's frames change.
#pragma once

#include <cstdint>

#include "protocol/replay_format.h"

// What the rules cannot work out at the moment "Start game" places the fields.
ReplayStart captureRoundStart();
// Puts it back, on fields built as start-up builds them.
void applyRoundStart(const ReplayStart& start);
// Why no game could start a round so (a start that could make it easier); null when one could.
const char* impossibleRoundStart(const ReplayStart& start);
// Over the generator, the play values, the player and every sprite's place.
uint32_t roundStateCheck();
// Spike ball or Escape: the round's result is fixed.
bool roundOver();
