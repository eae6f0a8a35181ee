#include "record/game_state.h"

const char* const backgroundMaterialName = "Background";
const char* const bubbleMaterialName = "Bubble";
const char* const playerBubbleMaterialName = "PlayerBubble";
const char* const bonusBubbleMaterialName = "BonusBubble";
const char* const logoMaterialName = "Orbelle";
const char* const flareMaterialName = "Flare";
const char* const spikeMaterialName = "Spike";
const char* const multiplyBubbleMaterialName = "MultiplyBubble";

GameState game;
