// Rules shared by the field motion, the collision pass and the events.
#pragma once

#include "engine/tessel.h"

// Neither field ever moves faster than this per frame.
const float maxFieldSpeed = 30.0f;

// Each bubble, spike and escape speeds the game up by these steps.
const float collectBubbleSpeedStep = 0.007f;
const float popBubbleSpeedStep = 0.008f;
const float popSpikeSpeedStep = 0.009f;
const float escapeBubbleSpeedStep = 0.009f;
const float escapeSpikeSpeedStep = 0.01f;

// Round start values.
const float startBubbleSpeed = 1.0f;
const float startSpikeSpeed = 2.0f;
const float normalSteerAcceleration = 0.007f;

// Keeps both field speeds at or below maxFieldSpeed.
void capFieldSpeeds();
// Writes the score line from the current score.
void formatScoreText();
// Strictly overlapping collision circles; touching edges do not count.
bool spritesTouch(const TSLPolygon& a, const TSLPolygon& b);
