// The title lettering, drawn from stroke shapes defined here rather than from a font file.
#pragma once

#include "tools/assets/image.h"

// The word "Orbelle" in round, tube-like strokes with a dark outline and a soft glow.
// The game stretches the picture to a 512 by 300 quad, so letters are laid out in that
// shape and squeezed into the texture: they come out round on screen.
Image paintLogo(int width, int height);
