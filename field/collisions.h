#pragma once

// Called when a spike reaches the player, after the running event has ended and before
// this frame's bubbles are popped on spikes; the game sets it.
extern void (*roundEndHandler)();

// Player and bubbles, player and spikes, bubbles and spikes; once per frame.
void checkCollisions();
