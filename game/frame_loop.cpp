#include "game/frame_loop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "field/events.h"
#include "field/play_frame.h"
#include "game/comforts.h"
#include "game/frame_log.h"
#include "game/frame_texts.h"
#include "game/input.h"
#include "game/startup.h"
#include "game/ticks.h"
#include "record/game_state.h"
#include "replay/recorder.h"

const char* const musicTracks[musicTrackCount] = {"data/surr.mp3", "data/seagull.mp3",
                                                  "data/organ.mp3"};

namespace {
// The light goes over the sprites as well as the backdrop.
void drawSprites() {
    game.background.Render();
    game.player.Render();
    for (int i = 0; i < game.bubbleCount; ++i)
        game.bubbles[i]->Render();
    for (int i = 0; i < game.spikeCount; ++i)
        game.spikes[i]->Render();
    game.flare.Render();
}

void drawOverlay() {
    TSLBlur* overlay = game.blurOverlay;
    if (!overlay)
        return;
    if (game.quakeActive) {
        const bool shaken = game.screenShake;
        overlay->x = float(fieldCentreX) - float(shaken ? game.quakeOffsetX : 0);
        overlay->y = float(fieldCentreY) - float(shaken ? game.quakeOffsetY : 0);
    }
    if (game.blurVisible)
        overlay->Render(game.screenWidth, game.screenHeight);
}

// ORBELLE_BENCH_EVENTS keeps an event (and so the overlay) running through every round, so
// bench/frame_pacing.sh can measure what an event costs: "1" of any kind, "quake" earthquakes
// only (they shake the overlay, which changes the whole window every frame), "calm" the other
// kinds only. It changes nothing otherwise.
enum class BenchEvents { none, any, quake, calm };

BenchEvents benchEventsRequested() {
    const char* value = std::getenv("ORBELLE_BENCH_EVENTS");
    if (!value)
        return BenchEvents::none;
    if (std::strcmp(value, "quake") == 0)
        return BenchEvents::quake;
    if (std::strcmp(value, "calm") == 0)
        return BenchEvents::calm;
    return std::strcmp(value, "1") == 0 ? BenchEvents::any : BenchEvents::none;
}

void keepEventRunningForBench() {
    static const BenchEvents requested = benchEventsRequested();
    if (requested == BenchEvents::none || game.inMenu || game.gameOver || game.eventActive)
        return;
    // The kind is drawn at random; drawing again until it is the one asked for.
    for (int tries = 0; tries < 64; ++tries) {
        startEvent();
        if (requested == BenchEvents::any || game.quakeActive == (requested == BenchEvents::quake))
            return;
        endEvent();
    }
}
} // namespace

void drawScene() {
    drawSprites();
    drawOverlay();
    drawFrameTexts();
    if (game.inMenu)
        game.logo.Render();
}

namespace {
// Not a frame of the round: the picture stays, with the paused line over it, until P. The
// time it takes is nobody's frame time, and nothing is drawn from the generator.
void runPausedPass(uint32_t now) {
    game.lastTick = now;
    logFrame();
    handlePausedInput();
    TSLBeginRender();
    drawScene();
    TSLEndRender();
    recordPausedPass();
}
} // namespace

void showFrame() {
    std::snprintf(game.multiplierText, sizeof game.multiplierText, "Score multiplier: %2.1f",
                  game.scoreMultiplier);
    TSLBeginRender();
    drawScene();
    TSLEndRender();
    logFrameShown();
    finishStartUp();
}

namespace {
// Both 0 means no track at all, not a finished one.
bool musicTrackEnded() {
    int position = game.music.GetTime();
    return position == game.musicLength && game.musicLength > 0 && position > 0;
}

} // namespace

void startMusicTrack(int track) {
    game.music.PlayFile(musicTracks[track]);
    game.musicLength = game.music.GetLength();
}

namespace {
const PlayFrameSteps gameFrameSteps = {handleInput, showFrame, musicTrackEnded, startMusicTrack};
} // namespace

bool runFramePass(uint32_t now) {
    // Unsigned difference: still right across a wrap of the tick counter.
    uint32_t elapsed = now - game.lastTick;
    if (elapsed == 0)
        return false;
    // A pause asked for in the frame that ended the round has nothing left to hold.
    if (game.paused && !roundRunning())
        leavePause();
    if (game.paused) {
        runPausedPass(now);
        return true;
    }
    game.frameMillis = elapsed;
    game.lastTick = now;
    logFrame();
    keepEventRunningForBench();

    recordFrame(runPlayFrame(gameFrameSteps));
    return true;
}

void runFrameLoop() {
    while (game.running == 1) {
        if (runFramePass(getTickCount()))
            continue;
#ifndef ORBELLE_SPIN_LOOP
        waitForNextTick(game.lastTick);
#endif
    }
}
