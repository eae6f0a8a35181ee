// The round's end as the game carries it out when the field reports it: the blip, then the
// name entry for a result that makes the table, or else the high-score screen and the
// download.
#pragma once

void endRound();
// Hands endRound to the collision pass.
void installRoundEnd();
