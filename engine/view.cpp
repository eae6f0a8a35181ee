// The device part's guards and the view's helpers.
#include "engine/view.h"

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>

bool tslCanDraw() {
    const TSLEngineState& state = tslEngine();
    return !state.headless && state.windowOpen && SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

bool tslCanPlay() {
    const TSLEngineState& state = tslEngine();
    return !state.headless && state.audioOpen && SDL_WasInit(SDL_INIT_AUDIO) != 0;
}

void tslSettleClear(bool coversView) {
    TSLEngineState& state = tslEngine();
    if (!state.clearPending)
        return;
    state.clearPending = false;
    if (!coversView)
        glClear(GL_COLOR_BUFFER_BIT);
}

// The ortho box may run either way (left above right), so compare against its extremes.
bool tslOutsideView(float left, float bottom, float right, float top) {
    const double* o = tslEngine().ortho;
    return right < std::min(o[0], o[1]) || left > std::max(o[0], o[1]) ||
           top < std::min(o[2], o[3]) || bottom > std::max(o[2], o[3]);
}

bool tslCoversView(float left, float bottom, float right, float top) {
    const double* o = tslEngine().ortho;
    return left <= std::min(o[0], o[1]) && right >= std::max(o[0], o[1]) &&
           bottom <= std::min(o[2], o[3]) && top >= std::max(o[2], o[3]);
}

void tslDrawQuad(float left, float bottom, float right, float top, float s0, float t0, float s1,
                 float t1) {
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex2f(left, bottom);
    glTexCoord2f(s1, t0);
    glVertex2f(right, bottom);
    glTexCoord2f(s1, t1);
    glVertex2f(right, top);
    glTexCoord2f(s0, t1);
    glVertex2f(left, top);
    glEnd();
}

double tslPixelX(double x) {
    const TSLEngineState& state = tslEngine();
    return (x - state.ortho[0]) / (state.ortho[1] - state.ortho[0]) * state.windowWidth;
}

double tslPixelY(double y) {
    const TSLEngineState& state = tslEngine();
    return (y - state.ortho[2]) / (state.ortho[3] - state.ortho[2]) * state.windowHeight;
}

bool tslScissor(int left, int bottom, int right, int top) {
    const TSLPixelBox& clip = tslEngine().clip;
    left = std::max(left, clip.left);
    bottom = std::max(bottom, clip.bottom);
    right = std::min(right, clip.right);
    top = std::min(top, clip.top);
    if (left >= right || bottom >= top)
        return false;
    glScissor(left, bottom, right - left, top - bottom);
    return true;
}

void tslRestoreScissor() {
    const TSLEngineState& state = tslEngine();
    const TSLPixelBox& clip = state.clip;
    if (clip.left <= 0 && clip.bottom <= 0 && clip.right >= state.windowWidth &&
        clip.top >= state.windowHeight) {
        glDisable(GL_SCISSOR_TEST);
        return;
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(clip.left, clip.bottom, clip.right - clip.left, clip.top - clip.bottom);
}
