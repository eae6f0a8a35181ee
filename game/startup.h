#pragma once

// Steps of start-up from reading config.txt to the first music track. Returns false when the
// window could not be opened.
bool initGame();
// The eight named materials, in order; the four fixed sprites receive theirs.
void createMaterials();
