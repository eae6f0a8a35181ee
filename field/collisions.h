#pragma once

// Player and bubbles, player and spikes, bubbles and spikes; once per frame.
void checkCollisions();
