#include "engine/engine_state.h"

#include <SDL.h>
#include <GL/gl.h>

TSLEngineState& tslEngine() {
    static TSLEngineState state;
    return state;
}

bool tslCanDraw() {
    const TSLEngineState& state = tslEngine();
    return !state.headless && state.windowOpen && SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

bool tslCanPlay() {
    const TSLEngineState& state = tslEngine();
    return !state.headless && state.audioOpen && SDL_WasInit(SDL_INIT_AUDIO) != 0;
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
