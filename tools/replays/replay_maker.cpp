// usage: orbelle-replay-maker DATA_ROOT OUT_DIR. Plays the game's own rounds, one after another
// in one run, through the game's frame pass without a window, with a scripted player at the
// keys: it heads for the nearest bubble and flees spike balls close by. The rounds cover a
// pause, a round given up with Escape, a music turn and the name entry; each round's replay is
// written to OUT_DIR/round-N.orbr, and a line per round says what it holds. The game's clock
// is stood in for by the 64 steps a second it ticks in, so every run makes the same files.
#include <SDL.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/data_root.h"
#include "game/frame_loop.h"
#include "game/startup.h"
#include "hiscore/high_score_table.h"
#include "record/game_state.h"
#include "replay/recorder.h"
#include "scores/result_screen.h"

namespace {
const int roundCount = 7;
// The round whose name entry is left open for the next.
const int openEntryRound = 4;
// The music's track ends every so many frames: more than 82.5 s of play.
const int framesPerTrack = 5400;
const float fleeDistance = 80, aimSlack = 4, cruiseSpeed = 3;

uint32_t step = 0;
uint64_t framesPlayed = 0;

void frame() {
    ++step;
    if (++framesPlayed % framesPerTrack == 0)
        game.music.FinishForTest();
    runFramePass(uint32_t(step * 1000 / 64));
}

void press(int sym) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = SDLKey(sym);
    SDL_PushEvent(&event);
    frame();
}

float distanceTo(const TSLPolygon& sprite) {
    return std::hypot(sprite.x - game.player.x, sprite.y - game.player.y);
}

const TSLPolygon* nearest(TSLPolygon* const* sprites, int count, bool bubbles) {
    const TSLPolygon* best = nullptr;
    for (int i = 0; i < count; ++i) {
        const TSLPolygon& s = *sprites[i];
        const bool onField = s.y > 0 && s.y < fieldHeight && (!bubbles || s.visible);
        if (onField && (!best || distanceTo(s) < distanceTo(*best)))
            best = &s;
    }
    return best;
}

// Toward (or away from) a point: an arrow per axis, let go once moving fast that way.
void steerBy(float dx, float dy) {
    const struct {
        int sym;
        bool wanted;
    } keys[] = {{SDLK_RIGHT, dx > aimSlack && game.playerVelocityX < cruiseSpeed},
                {SDLK_LEFT, dx < -aimSlack && game.playerVelocityX > -cruiseSpeed},
                {SDLK_UP, dy > aimSlack && game.playerVelocityY < cruiseSpeed},
                {SDLK_DOWN, dy < -aimSlack && game.playerVelocityY > -cruiseSpeed}};
    for (const auto& key : keys)
        TSLKeyhandler::SetTestKey(key.sym, key.wanted);
}

void scriptedKeys() {
    const TSLPolygon* spike = nearest(game.spikes, game.spikeCount, false);
    const TSLPolygon* bubble = nearest(game.bubbles, game.bubbleCount, true);
    if (spike && distanceTo(*spike) < fleeDistance)
        steerBy(game.player.x - spike->x, game.player.y - spike->y);
    else if (bubble)
        steerBy(bubble->x - game.player.x, bubble->y - game.player.y);
    else
        steerBy(fieldCentreX - game.player.x, fieldCentreY - game.player.y);
}

// Keys pressed (events, not held) in a round's passes, by round and pass: a pause of 30 passes;
// the round that starts with the name entry of the one before still open takes arrows there
// (the player is not steered in those frames), then Return, which enters its score so far in
// mid-round; and a round paused and given up with Escape while paused.
struct Press {
    int round, pass, sym;
} const presses[] = {{1, 400, SDLK_p},    {1, 430, SDLK_p},      {5, 100, SDLK_UP},
                     {5, 101, SDLK_DOWN}, {5, 300, SDLK_RETURN}, {6, 300, SDLK_p}};
// Escape held in a pass: in play in round 2, in a paused pass in round 6.
struct Escape {
    int round, pass;
} const escapes[] = {{2, 700}, {6, 310}};

void playRound(int round) {
    for (int pass = 0; !game.inMenu && !game.gameOver; ++pass) {
        scriptedKeys();
        bool escape = false;
        for (const Escape& e : escapes)
            escape = escape || (e.round == round && e.pass == pass);
        TSLKeyhandler::SetTestKey(SDLK_ESCAPE, escape);
        int sym = 0;
        for (const Press& p : presses)
            if (p.round == round && p.pass == pass)
                sym = p.sym;
        if (sym)
            press(sym);
        else
            frame();
    }
    TSLKeyhandler::ClearTestKeys();
}

// Back on the menu at "Start game", the name entered when the round made the table, and the
// next round started. After the round that leaves its name entry open (Escape), a release, a
// letter and Return come in one frame: the entry takes the letter, the menu Return.
void startNextRound(int round) {
    if (game.nameEntryActive && round == openEntryRound) {
        TSLKeyhandler::SetTestKey(SDLK_ESCAPE, true);
        frame();
        TSLKeyhandler::ClearTestKeys();
        // The frame's first poll takes a key's release, the name entry the letter.
        SDL_Event queued[2] = {};
        queued[0].type = SDL_KEYUP;
        queued[1].type = SDL_KEYDOWN;
        queued[1].key.keysym.sym = SDLK_x;
        for (SDL_Event& event : queued)
            SDL_PushEvent(&event);
        press(SDLK_RETURN);
        return;
    }
    if (game.nameEntryActive)
        for (int sym :
             {int('s'), int('c'), int('r'), int('i'), int('p'), int('t'), int(SDLK_RETURN)})
            press(sym);
    for (int i = 0; i < 4; ++i)
        press(SDLK_UP);
    press(SDLK_RETURN);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !std::filesystem::is_directory(argv[2])) {
        std::fputs("usage: orbelle-replay-maker DATA_ROOT OUT_DIR\n", stderr);
        return 2;
    }
    const std::string dataRoot = std::filesystem::absolute(argv[1]).string();
    const std::string outDir = std::filesystem::absolute(argv[2]).string() + "/";
    // The game's own files (config.txt, hisc.dat, replays/) go to a folder of their own.
    char scratch[] = "/tmp/orbelle-replay-maker-XXXXXX";
    if (!mkdtemp(scratch) || chdir(scratch) != 0) {
        std::perror("orbelle-replay-maker");
        return 1;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    TSLSetHeadless(true);
    TSLSetDataRoot(dataRoot);
    SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE);
    std::ofstream("config.txt") << "800 600 32 0 1 0\n";
    RunOptions options;
    options.noSound = true;
    if (!initGame(options))
        return 1;
    frame();
    startMusicTrack(0);
    press(SDLK_RETURN);
    for (int round = 0; round < roundCount; ++round) {
        playRound(round);
        const std::string replay = replayOfLastRound("script", scoreToInt(game.score));
        const std::string file = "round-" + std::to_string(round) + ".orbr";
        std::ofstream(outDir + file, std::ios::binary) << replay;
        std::printf("%s score %d bytes %zu\n", file.c_str(), scoreToInt(game.score), replay.size());
        startNextRound(round);
    }
    // The replay the mid-round entry kept: the round so far, before its frame with the Return.
    for (const std::string& kept : replayFilesOf(game.localScores, localScoreFile))
        if (kept.find("_78_") != std::string::npos)
            std::filesystem::copy_file(kept, outDir + "round-5-entered.orbr",
                                       std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove_all(scratch);
    return 0;
}
