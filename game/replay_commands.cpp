#include "game/replay_commands.h"

#include <SDL.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "field/collisions.h"
#include "game/frame_log.h"
#include "game/frame_loop.h"
#include "game/ticks.h"
#include "record/game_state.h"
#include "replay/replay_play.h"
#include "replay/verify_replay.h"

namespace {
const int replayRefused = 1;
const int notReplay = 2;

// Up to one byte more than a replay may have, so that a larger file is told apart.
bool readReplayBytes(const char* file, std::string* bytes, FILE* err) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(err, "orbelle: cannot read %s: %s\n", file, std::strerror(errno));
        return false;
    }
    bytes->assign(replayMaxFileBytes + 1, '\0');
    in.read(&(*bytes)[0], std::streamsize(bytes->size()));
    bytes->resize(size_t(in.gcount()));
    return true;
}

// A watched round ends as it ended: with the blip, and nothing entered anywhere.
void watchedRoundEnd() {
    game.blip.Play();
}

// Escape or the window's close.
bool watcherLeaves() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        TSLWindowEvent(event);
        if (event.type == SDL_QUIT ||
            (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE))
            return true;
    }
    return false;
}

bool musicOn = false;

// Turns of the music play the track as in the game; with the music off there is none.
void startWatchedTrack(int track) {
    if (musicOn)
        startMusicTrack(track);
}
} // namespace

int verifyReplayFile(const char* file, FILE* out, FILE* err) {
    std::string bytes;
    if (!readReplayBytes(file, &bytes, err))
        return notReplay;
    const ReplayVerdict verdict = verifyReplay(bytes);
    if (verdict.kind == ReplayVerdictKind::ok) {
        std::fprintf(out, "score %d frames %u\n", verdict.score, verdict.frames);
        return 0;
    }
    if (verdict.kind == ReplayVerdictKind::malformed) {
        std::fprintf(err, "orbelle: %s is %s\n", file, verdict.reason.c_str());
        return notReplay;
    }
    std::fprintf(err, "orbelle: %s does not replay as it claims: %s", file, verdict.reason.c_str());
    if (verdict.divergedAt >= 0)
        std::fprintf(err, " (first frame that parts: %lld)", (long long)verdict.divergedAt);
    std::fprintf(err, "; it claims score %d in %u frames\n", verdict.claimedScore,
                 verdict.claimedFrames);
    return replayRefused;
}

bool loadReplayFile(const char* file, Replay* replay, FILE* err) {
    std::string bytes;
    if (!readReplayBytes(file, &bytes, err))
        return false;
    const ReplayReadError error = decodeReplay(bytes, replay);
    if (error != ReplayReadError::none)
        std::fprintf(err, "orbelle: %s is %s\n", file, replayReadErrorText(error));
    return error == ReplayReadError::none;
}

// Paced as play is, one recorded frame a tick.
void watchReplay(const Replay& replay) {
    roundEndHandler = watchedRoundEnd;
    setUpReplayedRound(replay);
    size_t frame = 0;
    while (!watcherLeaves()) {
        const uint32_t now = getTickCount();
        if (now == game.lastTick) {
            waitForNextTick(game.lastTick);
            continue;
        }
        game.lastTick = now;
        logFrame();
        if (frame == replay.frames.size()) {
            showFrame();
            continue;
        }
        playReplayedFrame(replay, frame++, showFrame, startWatchedTrack);
        // Start-up starts the first track with the first frame; the round had its own.
        if (frame == 1) {
            musicOn = !game.music.CurrentFile().empty();
            if (replay.start.musicTrack != 0)
                startWatchedTrack(replay.start.musicTrack);
        }
    }
}
