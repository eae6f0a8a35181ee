// The floor the game's cost is measured against: an 800 x 600 OpenGL window that draws one
// full-screen textured quad per frame, 64 frames a second, sleeping between frames. Writes the
// same frame log as the game (ORBELLE_FRAME_LOG), so bench/frame_pacing.sh measures both alike.
// With ORBELLE_FLOOR_OVERLAY=1 it draws instead only what every frame of an earthquake must at
// least draw: the whole window under the blended, tinted overlay, magnified from a half-size
// picture and shifted a little each frame. Runs until SIGTERM or SIGINT (or the window is closed).
#include <GL/gl.h>
#include <SDL.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {
const int windowWidth = 800;
const int windowHeight = 600;
const int textureSize = 512;
// The overlay's picture: the window at half size, as the game captures it.
const int overlayWidth = windowWidth / 2;
const int overlayHeight = windowHeight / 2;
const int overlayShifts = 5;
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

// An opaque picture the size of the game's backdrop or of its overlay's capture, so sampling
// costs what the game's does.
void makeTexture(int width, int height) {
    std::vector<unsigned char> pixels(std::size_t(width) * height * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const std::size_t texel = i / 4;
        pixels[i] = (unsigned char)(texel % width);
        pixels[i + 1] = (unsigned char)(texel / width);
        pixels[i + 2] = (unsigned char)(texel * 7);
        pixels[i + 3] = 255;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());
    glEnable(GL_TEXTURE_2D);
}

// The overlay's tint and blending, as the game draws it during an earthquake.
void setUpOverlay() {
    makeTexture(overlayWidth, overlayHeight);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.8f, 0.85f, 0.9f, 0.8f);
}

// The quad covers the window, shifted left and down by as many pixels as asked (up to four).
void drawFrame(int shift) {
    const float dx = 2.0f * shift / windowWidth, dy = 2.0f * shift / windowHeight;
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(-1 - dx, -1 - dy);
    glTexCoord2f(1, 1);
    glVertex2f(1 - dx, -1 - dy);
    glTexCoord2f(1, 0);
    glVertex2f(1 - dx, 1 - dy);
    glTexCoord2f(0, 0);
    glVertex2f(-1 - dx, 1 - dy);
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
    const char* overlay = std::getenv("ORBELLE_FLOOR_OVERLAY");
    const bool overlayOnly = overlay && std::strcmp(overlay, "1") == 0;
    if (overlayOnly)
        setUpOverlay();
    else
        makeTexture(textureSize, textureSize);
    uint64_t next = monotonicNanos() / nanosPerFrame + 1;
    bool first = true;
    for (int frame = 0; !quitRequested(); ++frame) {
        drawFrame(overlayOnly ? frame % overlayShifts : 0);
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
