// Pictures stretched over exactly the whole view (the backdrop, the light) are resampled once
// at the window's resolution. Later frames then copy texels one to one with nearest filtering,
// which gives the same pixels as filtering the small picture again, at a fraction of the cost
// on a software rasteriser.
#pragma once

#include "engine/tessel.h"

// The window-sized copy of material's texture, made on first use; 0 when the GL context has
// no framebuffer objects, or when the static layers are composed once (the window has a
// stencil), in which case the picture is drawn from its own texture.
unsigned tslViewSizedTexture(TSLMaterial& material);
