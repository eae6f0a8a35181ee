// Window, OpenGL context, projection and frame bracketing.
#include <GL/gl.h>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <cstring>

#include "engine/data_root.h"
#include "engine/device.h"
#include "engine/frame/frame.h"
#include "engine/view.h"

namespace {
const int fallbackWidth = 800;
const int fallbackHeight = 600;

void setUpGlState(int width, int height) {
    glViewport(0, 0, width, height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClearColor(0, 0, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// A missing or unreadable icon only leaves the window without one.
void setWindowIcon(const std::string& file) {
    if (file.empty())
        return;
    SDL_Surface* icon = IMG_Load(tslDataPath(file.c_str()).c_str());
    if (!icon)
        return;
    SDL_WM_SetIcon(icon, nullptr); // no mask: SDL makes one from the alpha channel
    SDL_FreeSurface(icon);
}

void applyProjection() {
    const double* o = tslEngine().ortho;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(o[0], o[1], o[2], o[3], -1, 1);
    glMatrixMode(GL_MODELVIEW);
}
} // namespace

void TSLSetWindowIcon(const char* file) {
    tslEngine().windowIcon = file ? file : "";
}

// The flag means "windowed": true (the default configuration) opens a normal window, false
// asks for full screen and falls back to a window when that is refused.
bool TSLInit(int width, int height, int colourDepth, bool flag) {
    tslUseDevice(tslSdlDevice());
    TSLEngineState& state = tslEngine();
    if (width <= 0 || height <= 0) {
        width = fallbackWidth;
        height = fallbackHeight;
    }
    state.windowWidth = width;
    state.windowHeight = height;
    state.clip = {0, 0, width, height};
    // Headless, the mode asked for is taken as given.
    state.fullScreen = !flag;
    if (state.headless)
        return true;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;

    setWindowIcon(state.windowIcon);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    // The game never tests depth nor stencil: buffers for them would cost memory and clearing.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_Surface* screen = nullptr;
    if (!flag)
        screen = SDL_SetVideoMode(width, height, colourDepth, SDL_OPENGL | SDL_FULLSCREEN);
    if (!screen)
        screen = SDL_SetVideoMode(width, height, colourDepth, SDL_OPENGL);
    if (!screen)
        return false;

    state.windowOpen = true;
    state.fullScreen = (screen->flags & SDL_FULLSCREEN) != 0;
    const char* layered = std::getenv("ORBELLE_LAYERED_DRAWING");
    state.layeredDrawing = layered && std::strcmp(layered, "1") == 0;
    setUpGlState(width, height);
    applyProjection();
    return true;
}

bool TSLToggleFullScreen() {
    TSLEngineState& state = tslEngine();
    if (state.headless) {
        state.fullScreen = !state.fullScreen;
        return true;
    }
    SDL_Surface* screen = SDL_GetVideoSurface();
    // Unlike setting the video mode again, this keeps the GL context and so every texture.
    if (!tslCanDraw() || !screen || SDL_WM_ToggleFullScreen(screen) == 0)
        return false;
    state.fullScreen = (screen->flags & SDL_FULLSCREEN) != 0;
    // The window is shown anew, as after an expose: whatever it showed is gone.
    SDL_Event shown = {};
    shown.type = SDL_VIDEOEXPOSE;
    TSLWindowEvent(shown);
    return true;
}

bool TSLIsFullScreen() {
    return tslEngine().fullScreen;
}

void TSLOrtho2d(double left, double right, double bottom, double top) {
    double* o = tslEngine().ortho;
    o[0] = left;
    o[1] = right;
    o[2] = bottom;
    o[3] = top;
    if (tslCanDraw())
        applyProjection();
}

void TSLBeginRender() {
    TSLClearPrintedTexts();
    if (!tslCanDraw())
        return;
    tslEngine().clearPending = true;
    applyProjection();
    glLoadIdentity();
    tslBeginFrame();
}

void TSLEndRender() {
    if (tslCanDraw())
        tslEndFrame();
}
