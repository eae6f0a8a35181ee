// The SDL device: the engine's core draws, plays and reads keys through it once TSLInit (or
// TSLSoundInit) has put it in use. Each call does nothing without a window or a sound device
// (headless, before the window opens, after SDL has been shut down).
#include <SDL.h>

#include "engine/device.h"
#include "engine/draw.h"
#include "engine/frame/frame.h"
#include "engine/overlay.h"
#include "engine/sound_library.h"
#include "engine/texture.h"

namespace {
class TSLSdlDevice : public TSLDevice {
  public:
    void RenderSprite(const TSLPolygon& sprite) override {
        TSLQuad quad;
        if (!tslCanDraw() || !tslSpriteQuad(sprite, &quad) || tslNoteSprite(*sprite.material, quad))
            return;
        tslDrawSprite(*sprite.material, quad);
    }

    void RenderOverlay(TSLBlur& overlay, int windowWidth, int windowHeight) override {
        if (!tslCanDraw() || tslNoteOverlay(overlay, windowWidth, windowHeight))
            return;
        tslDrawOverlay(overlay, windowWidth, windowHeight);
    }

    void DropOverlayCapture(TSLOverlayCapture& capture) override {
        if (tslCanDraw())
            tslDropCapture(capture);
    }

    unsigned LoadTexture(const char* file, TSLMaterial& material) override {
        return tslLoadTexture(file, material);
    }

    void DeleteTexture(unsigned texture) override { tslDeleteTexture(texture); }

    void PrintText(const TSLMaterial& font, unsigned atlas, float x, float y,
                   const char* text) override {
        if (!tslCanDraw() || tslNoteText(font, atlas, x, y, text))
            return;
        tslDrawText(font, atlas, x, y, text);
    }

    bool KeyHeld(int sym) override {
        if (sym < 0 || SDL_WasInit(SDL_INIT_VIDEO) == 0)
            return false;
        int count = 0;
        const Uint8* state = SDL_GetKeyState(&count);
        return state && sym < count && state[sym] != 0;
    }

    void PlaySample(void* chunk) override {
        const int anyChannel = -1, noRepeat = 0, noTimeLimit = -1;
        if (tslCanPlay())
            mixerCalls()->playChannelTimed(anyChannel, static_cast<Mix_Chunk*>(chunk), noRepeat,
                                           noTimeLimit);
    }

    void FreeSample(void* chunk) override {
        if (tslCanPlay())
            mixerCalls()->freeChunk(static_cast<Mix_Chunk*>(chunk));
    }

    void FreeTrack(void* track) override {
        if (!tslCanPlay())
            return;
        mixerCalls()->haltMusic();
        mixerCalls()->freeMusic(static_cast<Mix_Music*>(track));
    }
};

TSLSdlDevice sdlDevice;
} // namespace

TSLDevice& tslSdlDevice() {
    return sdlDevice;
}
