// The floor the game's cost is measured against: an 800 x 600 OpenGL window that draws one
// full-screen textured quad per frame, 64 frames a second, sleeping between frames. Writes the
// same frame log as the game (ORBELLE_FRAME_LOG), so bench/frame_pacing.sh measures both alike.
// Runs until SIGTERM or SIGINT (or the window is closed).
#include <GL/gl.h>
#include <SDL.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {
const int windowWidth = 800;
const int windowHeight = 600;
const int textureSize = 512;
const uint64_t nanosPerFrame = 1000000000 / 64;

uint64_t monotonicNanos() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000 + uint64_t(now.tv_nsec);
}

void sleepUntil(uint64_t nanos) {
    timespec until;
    until.tv_sec = time_t(nanos / 1000000000);
    until.tv_nsec = long(nanos % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

// An opaque picture of the game's backdrop size, so sampling costs what the game's does.
void makeTexture() {
    std::vector<unsigned char> pixels(textureSize * textureSize * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const std::size_t texel = i / 4;
        pixels[i] = (unsigned char)(texel % textureSize);
        pixels[i + 1] = (unsigned char)(texel / textureSize);
        pixels[i + 2] = (unsigned char)(texel * 7);
        pixels[i + 3] = 255;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, textureSize, textureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());
    glEnable(GL_TEXTURE_2D);
}

void drawFrame() {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, 1);
    glTexCoord2f(0, 0);
    glVertex2f(-1, 1);
    glEnd();
    SDL_GL_SwapBuffers();
}

bool quitRequested() {
    SDL_Event event;
    while (SDL_PollEvent(&event))
        if (event.type == SDL_QUIT)
            return true;
    return false;
}
} // namespace

int main(int, char**) {
    const char* logPath = std::getenv("ORBELLE_FRAME_LOG");
    FILE* log = logPath && *logPath ? std::fopen(logPath, "a") : nullptr;
    if (log) {
        std::setvbuf(log, nullptr, _IOLBF, 0);
        std::fprintf(log, "start %llu\n", (unsigned long long)(monotonicNanos() / 1000));
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "orbelle_floor: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(windowWidth, windowHeight, 32, SDL_OPENGL)) {
        std::fprintf(stderr, "orbelle_floor: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    SDL_WM_SetCaption("Orbelle floor", nullptr);
    makeTexture();
    uint64_t next = monotonicNanos() / nanosPerFrame + 1;
    bool first = true;
    while (!quitRequested()) {
        drawFrame();
        if (log)
            std::fprintf(log, "%llu%s\n", (unsigned long long)(monotonicNanos() / 1000),
                         first ? " first" : "");
        first = false;
        sleepUntil(next * nanosPerFrame);
        ++next;
    }
    SDL_Quit();
    return 0;
}
