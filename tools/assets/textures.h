// The game's pictures, each painted from code with a fixed seed.
#pragma once

#include "tools/assets/image.h"

// Deep water seen from below: light at the surface, rays, dark rocks and weed at the bottom.
Image paintBackground(int size);
// Ordinary bubble: clear middle, bright rim, white highlight.
Image paintBubble(int size);
// Bonus and multiplier bubble: near-white so a red or green tint reads strongly, with a star.
Image paintSpecialBubble(int size);
// The player's bubble: golden core and a heavy rim, so it reads at 10 pixels.
Image paintPlayerBubble(int size);
// Dark metal ball with spikes; alpha is nearly binary because the game alpha-tests at 0.5.
Image paintSpike(int size);
// Soft glows and rays laid over the whole field.
Image paintFlare(int size);
