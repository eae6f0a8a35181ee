// Fog is part of the engine's interface, but the game draws without it: it keeps its values.
#include "engine/tessel.h"

TSLFog::TSLFog(float mode, float start, float end, float density, float red, float green,
               float blue)
    : values{mode, start, end, density, red, green, blue} {}
