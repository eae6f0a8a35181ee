// The frame pass: its timing, its steps in order against a model of our own, the texts of every
// screen at their places, and the music's turn to another track.
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "field/field_rules.h"
#include "game/frame_loop.h"
#include "game/ticks.h"
#include "record/game_state.h"
#include "record/random.h"
#include "tests/support/test_game.h"

// The tick count moves in whole 1/64 s steps, in milliseconds truncated: 0, 15, 31, 46, ...
TEST(Ticks, AdvanceInWholeTimerSteps) {
    uint32_t previous = getTickCount();
    for (int i = 0; i < 3; ++i) {
        waitForNextTick(previous);
        const uint32_t now = getTickCount(), step = uint32_t((uint64_t(now) * 64 + 999) / 1000);
        EXPECT_EQ(uint32_t(uint64_t(step) * 1000 / 64), now);
        EXPECT_GE(now - previous, 15u);
        EXPECT_LT(now - previous, 0x80000000u);
        previous = now;
    }
}

namespace {
// A round of a few sprites as the rules tell it, step by step: bubbles rise (an escape speeds
// both fields up before the spikes fall), spikes fall, the player moves by the old velocity
// and then steers, bubbles are collected, a spike ends the round, spikes pop bubbles, and the
// frame closes with the earthquake's two draws.
struct Model {
    std::vector<TSLPolygon> bubbles, spikes;
    uint32_t seed = 1;
    float x = 400, y = 300, width = 10, vx = 0, vy = 0, score = 0, bubbleSpeed = 1, spikeSpeed = 2;
    bool over = false;
    int blips = 0;

    int draw() { return int(((seed = seed * 214013u + 2531011u) >> 16) & 0x7FFF); }
    static bool touch(float ax, float ay, double ra, float bx, float by, double rb) {
        const double dx = double(ax) - bx, dy = double(ay) - by;
        return std::sqrt(dx * dx + dy * dy) < ra + rb;
    }
    static double bubbleRadius(float size) { return float(size * 5.0 / 11); }
    static double spikeRadius(float size) { return float(size * 0.4); }
    void speedUp(float bubble, float spike) {
        bubbleSpeed = std::min(bubbleSpeed + bubble, 30.0f);
        spikeSpeed = std::min(spikeSpeed + spike, 30.0f);
    }
    void frame(int right, int up, uint32_t millis) {
        const float rise = bubbleSpeed;
        for (TSLPolygon& b : bubbles)
            if ((b.y += rise) > 900) {
                b.y = float(-(draw() % 32000)), b.x = float(draw() % 800);
                if (b.visible)
                    speedUp(0.009f, 0.01f);
                b.visible = true;
            }
        const float fall = spikeSpeed; // after the escapes
        for (TSLPolygon& s : spikes)
            if ((s.y -= fall) < -100) {
                int top = draw() % 32000;
                for (s.x = float(draw() % 800); top < 900;)
                    top = draw() % 32000;
                s.y = float(top);
            }
        y += vy, x += vx;
        vx += float(millis) * 0.007f * right, vy += float(millis) * 0.007f * up;
        for (TSLPolygon& b : bubbles)
            if (b.visible && !over &&
                touch(b.x, b.y, bubbleRadius(b.width), x, y, bubbleRadius(width))) {
                score += b.width;
                width = float(width + b.width * 0.01);
                b.visible = false;
                bubbleSpeed += 0.007f;
            }
        // Ending the round ends the event, which puts back the speeds a Bubbletime saved: with
        // none run yet, those of the run's start.
        for (TSLPolygon& s : spikes)
            if (touch(s.x, s.y, spikeRadius(s.width), x, y, bubbleRadius(width)) && !over)
                ++blips, over = true, bubbleSpeed = 1, spikeSpeed = 2;
        for (TSLPolygon& b : bubbles)
            for (TSLPolygon& s : spikes)
                if (b.visible && b.y <= 800 + b.width / 3 && b.y >= -b.width / 3 &&
                    touch(b.x, b.y, bubbleRadius(b.width), s.x, s.y, spikeRadius(s.width)))
                    ++blips, speedUp(0.008f, 0.009f), b.visible = false;
        draw(), draw();
    }
};

std::vector<TSLPolygon> sprites(std::initializer_list<std::array<float, 3>> placed) {
    std::vector<TSLPolygon> made;
    for (const auto& [x, y, size] : placed)
        made.emplace_back(x, y, 1, size, size, 0);
    return made;
}

// The game's copies of the sprites, sized as the rules size them.
void useSprites(std::vector<TSLPolygon>& bubbles, std::vector<TSLPolygon>& spikes) {
    game.bubbleCount = game.spikeCount = 0;
    for (TSLPolygon& b : bubbles)
        game.bubbles[game.bubbleCount++] = &b, b.radius = float(Model::bubbleRadius(b.width));
    for (TSLPolygon& s : spikes)
        game.spikes[game.spikeCount++] = &s, s.radius = float(Model::spikeRadius(s.width));
}
} // namespace

// An escape in the first frame, then a pop, a pause (P in frame 6, passes that are no frames,
// and P again), a collect as the player steers up and right, the spike that ends the round, and
// pops after it; compared field by field after every frame. The tick count wraps round in
// frame 6, and a pass at an unchanged tick does nothing at all.
TEST(FramePass, StepsRunInTheirOrder) {
    resetGameForTest();
    game.inMenu = game.internetScoresEnabled = false;
    formatScoreText();
    Model model;
    model.bubbles = sprites({{100, 899.5f, 20}, {400, 284, 10}, {600, 200, 20}, {640, 200, 30}});
    model.spikes = sprites({{50, -99, 20}, {600, 230, 20}, {404, 335, 20}, {640, 290, 40}});
    std::vector<TSLPolygon> bubbles = model.bubbles, spikes = model.spikes;
    useSprites(bubbles, spikes);
    uint32_t tick = game.lastTick = 0xFFFFFFA0u;
    for (int frame = 1; frame <= 30; ++frame) {
        const int right = frame > 3, up = frame % 5 == 0;
        TSLKeyhandler::SetTestKey(SDLK_RIGHT, right);
        TSLKeyhandler::SetTestKey(SDLK_UP, up);
        if (frame == 7) { // paused in frame 6: passes of any length, none of them a frame
            for (uint32_t pausedFor : {900u, 50000u, 16u})
                ASSERT_TRUE(runFramePass(tick += pausedFor));
            pushTestEvent(SDL_KEYDOWN, SDLK_p);
            ASSERT_TRUE(runFramePass(tick += 16));
        }
        if (frame == 6)
            pushTestEvent(SDL_KEYDOWN, SDLK_p);
        ASSERT_TRUE(runFramePass(tick += 16));
        pushTestEvent(SDL_QUIT); // waits in the queue through a pass of the same tick
        ASSERT_FALSE(runFramePass(tick));
        ASSERT_EQ(takeQueuedEventTypes(), std::vector<int>{SDL_QUIT});
        EXPECT_EQ(game.paused, frame == 6) << frame;
        model.frame(right, up, 16);
        EXPECT_EQ(std::make_tuple(gameRandState(), game.player.x, game.player.y,
                                  game.playerVelocityX, game.playerVelocityY, game.player.width,
                                  game.score, game.bubbleSpeed, game.spikeSpeed, game.gameOver,
                                  game.blip.playCount),
                  std::make_tuple(model.seed, model.x, model.y, model.vx, model.vy, model.width,
                                  model.score, model.bubbleSpeed, model.spikeSpeed, model.over,
                                  model.blips))
            << frame;
        for (auto [mine, its] : {std::pair(&bubbles, &model.bubbles), {&spikes, &model.spikes}})
            for (size_t i = 0; i < mine->size(); ++i) {
                const TSLPolygon &a = (*mine)[i], &b = (*its)[i];
                EXPECT_EQ(std::make_tuple(a.x, a.y, a.visible),
                          std::make_tuple(b.x, b.y, b.visible))
                    << frame << (mine == &bubbles ? " bubble " : " spike ") << i;
            }
        // The score line of the frame shows what this frame collected, in seven places.
        const std::string points = std::to_string(int(model.score));
        EXPECT_EQ(textAt(5, 2), "Score:" + std::string(7 - points.size(), ' ') + points) << frame;
    }
    EXPECT_TRUE(model.over && model.score > 0 && model.blips > 2);
    TSLKeyhandler::ClearTestKeys();
}

namespace {
using Texts = std::vector<TSLPrintedText>;
Texts operator+(Texts a, const Texts& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
const Texts banner = {{270, 2, ""}};
const Texts play = {
    {5, 2, "Score:      0"}, {200, 2, "Bonus:"}, {200, 20, "Score multiplier: 1.0"}};
const Texts credits = {
    {270, 260, "Code: Velmo"}, {270, 240, "Gfx: Velmo"}, {270, 220, "Sound: Velmo"}};
const Texts roundEnd = {{160, 300, "You made it to the high scores. Please enter your name:"},
                        {230, 320, "You're supposed to AVOID the spikeballs!"}};

// The four lines at x 150 from y 300 down, the selected one marked; the web address below.
Texts menu(int selected) {
    const char* lines[] = {"Start game", "Highscores", "Credits", "Exit"};
    Texts texts;
    for (int i = 0; i < 4; ++i)
        texts.push_back(
            {150, 300.0f - 20 * i, i == selected ? std::string(">>") + lines[i] + "<<" : lines[i]});
    return texts + Texts{{5, 2, "www.orbelle.example.org"}};
}

// Headings at y 280, ranks below in steps of 20; the hint and the status line under them.
Texts scoreScreen(const char* status) {
    Texts texts = {{300, 280, "Local highscores:"}, {550, 280, "Internet highscores:"}};
    for (int rank = 1; rank <= 10; ++rank)
        texts.push_back({300, 280.0f - 20 * rank, std::to_string(rank) + ": Tester 1"});
    for (int rank = 1; rank <= 10; ++rank)
        texts.push_back({550, 280.0f - 20 * rank, std::to_string(rank) + ": "});
    return texts + Texts{{300, 20, "Press enter to upload your local scores."}, {300, 40, status}};
}
} // namespace

// One frame of each screen, every text in drawing order.
TEST(FrameTexts, EachScreenPrintsItsTextsInOrderAtTheirPlaces) {
    enum { inMenu = 1, credits_ = 2, scores = 4, entry = 8, over = 16, paused = 32 };
    const char* const offline = "Could not connect to server.";
    const struct {
        const char* screen;
        int flags, selection;
        Texts texts;
    } cases[] = {
        {"menu", inMenu, 0, banner + menu(0)},
        {"menu on Exit", inMenu, 3, banner + menu(3)},
        {"credits", inMenu | credits_, 2, banner + credits + menu(2)},
        {"play", 0, 0, banner + play},
        {"paused", paused, 0, banner + play + Texts{{379, 316, "Paused"}}},
        {"name entry", entry | over, 0, Texts{{390, 280, "Ab"}} + banner + play + roundEnd},
        {"name entry behind the menu", inMenu | entry | over, 1,
         Texts{{390, 280, "Ab"}} + banner + menu(1)},
        // The frame that ends a round without a place: then the menu replaces the score line.
        {"round over without a place", scores | over, 0, banner + play + scoreScreen(offline)},
        {"high scores", inMenu | scores, 2, banner + menu(2) + scoreScreen(offline)},
    };
    for (const auto& c : cases) {
        resetGameForTest();
        game.inMenu = c.flags & inMenu;
        game.creditsVisible = c.flags & credits_;
        game.scoreScreenVisible = c.flags & scores;
        game.nameEntryActive = game.namePromptVisible = c.flags & entry;
        game.gameOver = c.flags & over;
        game.paused = c.flags & paused;
        game.menuSelection = c.selection;
        game.statusMessage = offline;
        std::snprintf(game.playerName, sizeof game.playerName, "Ab");
        std::snprintf(game.scoreText, sizeof game.scoreText, "Score:      0");
        // As the frame before left it: a paused pass formats nothing.
        std::snprintf(game.multiplierText, sizeof game.multiplierText, "Score multiplier: 1.0");
        game.bubbleCount = game.spikeCount = 0;
        ASSERT_TRUE(runFramePass(16));
        const Texts& printed = TSLPrintedTexts();
        EXPECT_EQ(printed.size(), c.texts.size()) << c.screen;
        for (size_t i = 0; i < std::min(printed.size(), c.texts.size()); ++i) {
            EXPECT_EQ(printed[i].text, c.texts[i].text) << c.screen << ", text " << i;
            EXPECT_EQ(printed[i].x, c.texts[i].x) << c.screen << ": " << c.texts[i].text;
            EXPECT_EQ(printed[i].y, c.texts[i].y) << c.screen << ": " << c.texts[i].text;
        }
    }
}

// The track that ended is never the next; a track still playing, or none at all (both the
// position and the length 0), draws nothing beyond the frame's own two.
TEST(Music, AnEndedTrackTurnsToAnotherDrawnAtRandom) {
    const ScratchDirectory dir(true);
    const char* const tracks[] = {"data/surr.mp3", "data/seagull.mp3", "data/organ.mp3"};
    const struct {
        int playing;
        bool ended;
        std::initializer_list<int> draws;
        int next;
    } cases[] = {{0, true, {0, 0, 2}, 2}, {0, true, {1}, 1}, {1, true, {1, 0}, 0},
                 {2, true, {2, 2, 1}, 1}, {1, false, {}, 1}, {-1, true, {}, -1}};
    for (const auto& c : cases) {
        resetGameForTest();
        game.music.PlayFile(c.playing < 0 ? "data/none.mp3" : tracks[c.playing]);
        game.musicTrack = std::max(c.playing, 0);
        game.musicLength = game.music.GetLength();
        if (c.ended)
            game.music.FinishForTest();
        std::vector<std::pair<int, int>> draws = {{5, -1}, {5, -1}}; // the frame's own
        for (int draw : c.draws)
            draws.push_back({3, draw});
        seedDraws(draws);
        const uint32_t start = gameRandState();
        ASSERT_TRUE(runFramePass(16));
        const uint32_t after = gameRandState();
        resetGameRand(start);
        for (size_t i = 0; i < draws.size(); ++i)
            gameRand();
        EXPECT_EQ(after, gameRandState()) << c.playing << " then " << c.next;
        EXPECT_EQ(game.music.CurrentFile(), c.next < 0 ? "data/none.mp3" : tracks[c.next]);
        EXPECT_EQ(game.musicTrack, std::max(c.next, 0));
        EXPECT_EQ(game.musicLength, game.music.GetLength());
        EXPECT_EQ(game.musicLength > 0, c.next >= 0);
    }
}
