// The one door between the engine's core, its classes as data (sprites, materials, texts as
// printed, held test keys, sound counts), and its device part on SDL, OpenGL and the mixer. A
// program that never opens a window (the score server checking replays) links the core alone
// and keeps the silent device, which draws, plays and holds nothing. TSLInit puts the SDL
// device in its place.
#pragma once

#include "engine/tessel.h"

// What the core asks of the screen, the speakers and the keyboard. The base class is the silent
// device. No destructor of its own: a device lives until the process ends, as the global objects
// that use it in their destructors.
class TSLDevice {
  public:
    virtual void RenderSprite(const TSLPolygon&) {}
    virtual void RenderOverlay(TSLBlur&, int /*windowWidth*/, int /*windowHeight*/) {}
    virtual void DropOverlayCapture(TSLOverlayCapture&) {}
    // The texture made from the picture file, 0 for none; notes its size and opacity in the
    // material.
    virtual unsigned LoadTexture(const char* /*file*/, TSLMaterial&) { return 0; }
    virtual void DeleteTexture(unsigned /*texture*/) {}
    virtual void PrintText(const TSLMaterial& /*font*/, unsigned /*atlas*/, float /*x*/,
                           float /*y*/, const char* /*text*/) {}
    // The keyboard's own held keys (SDL key symbols).
    virtual bool KeyHeld(int /*sym*/) { return false; }
    virtual void PlaySample(void* /*chunk*/) {}
    virtual void FreeSample(void* /*chunk*/) {}
    virtual void FreeTrack(void* /*track*/) {}
};

// The device in use: the silent one until tslUseDevice.
TSLDevice& tslDevice();
void tslUseDevice(TSLDevice& device);
// The device part's own (engine/sdl_device.cpp), which TSLInit and TSLSoundInit put in use.
TSLDevice& tslSdlDevice();
