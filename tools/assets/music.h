// The three background tracks, composed from chord progressions and seeded melodies and
// rendered with small additive and FM voices.
#pragma once

#include <string>
#include <vector>

#include "tools/assets/audio.h"

enum class Voice { Pad, Pluck, Lead, Flute, Bass, Organ, Bell, Gull };

struct Note {
    double start;  // seconds
    double length; // seconds held, before the voice's release
    double midi;   // pitch as a MIDI note number (69 = A 440 Hz)
    float velocity;
    float pan; // -1 left .. 1 right
    Voice voice;
};

struct Piece {
    std::string name;
    double seconds;
    std::vector<Note> notes;
    float wavesLevel; // 0 for none: breaking-wave noise under the music
    float reverbWet;
    float roomSize;
};

Piece composeSurr();
Piece composeSeagull();
Piece composeOrgan();

// Renders every note, the waves and the reverb, then masters to a safe peak.
StereoBuffer renderPiece(const Piece& piece);

double midiToHertz(double midi);
