// The logical field every sprite lives on, whatever the window's size, and the overlay
// drawn over it during events.
#pragma once

const int fieldWidth = 800;
const int fieldHeight = 600;
const int fieldCentreX = fieldWidth / 2;
const int fieldCentreY = fieldHeight / 2;

// The overlay rests one unit down and left of the centre; an earthquake moves it about the
// centre itself.
const float overlayRestX = fieldCentreX - 1;
const float overlayRestY = fieldCentreY - 1;

struct OverlayTint {
    float red, green, blue, alpha;
};
// The overlay's own colour, which every event but the reversed controls keeps.
const OverlayTint calmOverlayTint = {0.8f, 0.85f, 0.9f, 0.8f};
