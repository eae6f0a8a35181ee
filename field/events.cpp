#include "field/events.h"

#include "field/field_rules.h"
#include "record/game_state.h"
#include "record/random.h"

namespace {
enum EventKind { bubbletime = 0, reversedControls = 1, earthquake = 2, eventKindCount = 3 };

// An event lasts this many pops and ends at the next one.
const int eventPops = 5;

const float bubbletimeBubbleSpeed = 0.7f;
const float bubbletimeSpikeSpeed = 0.85f;
const float bubbletimeSteerAcceleration = 0.003f;

struct OverlayLook {
    float x, y;
    OverlayTint tint;
};
const OverlayLook calmOverlay = {overlayRestX, overlayRestY, calmOverlayTint};
// The blue above 1 is what gives the reversed controls their violet glare.
const OverlayLook reversedOverlay = {overlayRestX, overlayRestY, {0.95f, 0.2f, 2.0f, 0.6f}};
const OverlayLook quakeOverlay = {fieldCentreX, fieldCentreY, calmOverlayTint};

// Tests run without an overlay; the event logic must not depend on one.
void showOverlay(const OverlayLook& look) {
    if (game.blurOverlay) {
        game.blurOverlay->x = look.x;
        game.blurOverlay->y = look.y;
        const OverlayTint& tint = look.tint;
        game.blurOverlay->overlayMaterial.SetDiffuseColor(tint.red, tint.green, tint.blue,
                                                          tint.alpha);
    }
    game.blurVisible = true;
}

void startBubbletime() {
    game.savedBubbleSpeed = game.bubbleSpeed;
    game.savedSpikeSpeed = game.spikeSpeed;
    game.eventBanner = "Bubbletime!";
    game.spikeSpeed = bubbletimeSpikeSpeed;
    game.bubbleSpeed = bubbletimeBubbleSpeed;
    game.steerAcceleration = bubbletimeSteerAcceleration;
    showOverlay(calmOverlay);
}

void startReversedControls() {
    game.eventBanner = "OH NOES!!1 Controls reversed!";
    game.steerAcceleration = -normalSteerAcceleration;
    showOverlay(reversedOverlay);
}

void startEarthquake() {
    game.eventBanner = "EARTHQUAKE! Watch out for 'em tsunamis!";
    showOverlay(quakeOverlay);
    game.quakeActive = true;
}
} // namespace

void startEvent() {
    endEvent();
    game.eventActive = true;
    int kind = gameRand() % eventKindCount;
    game.eventCountdown = eventPops;
    game.eventKind = kind;
    if (kind == bubbletime)
        startBubbletime();
    else if (kind == reversedControls)
        startReversedControls();
    else
        startEarthquake();
}

// Undoes the last kind started even when no event is running: after a Bubbletime (or at the
// start of the run) that puts the field speeds back to the saved pair.
void endEvent() {
    game.blurVisible = false;
    game.eventBanner = "";
    game.eventCountdown = 0;
    game.eventActive = false;
    if (game.eventKind == bubbletime) {
        game.bubbleSpeed = game.savedBubbleSpeed;
        game.spikeSpeed = game.savedSpikeSpeed;
        game.steerAcceleration = normalSteerAcceleration;
    } else if (game.eventKind == reversedControls) {
        game.steerAcceleration = normalSteerAcceleration;
    } else if (game.eventKind == earthquake) {
        game.quakeActive = false;
    }
}
