#include "tools/assets/music.h"

#include <algorithm>
#include <cmath>

#include "tools/assets/image.h"

namespace {

const double twoPi = 6.283185307179586;
const float masterPeak = 0.89f; // about -1 dBFS, headroom for the MP3 encoder
const double fadeInSeconds = 1.5;
const double fadeOutSeconds = 4.0;

struct Song {
    int key;     // MIDI note of the tonic
    double beat; // seconds
    int beatsPerBar;
    std::vector<std::vector<int>> progression; // chord tones as offsets from the key
    std::vector<int> scale;                    // melody pitch classes, offsets from the key
};

double barSeconds(const Song& song) {
    return song.beat * song.beatsPerBar;
}

const std::vector<int>& chordAt(const Song& song, int bar) {
    return song.progression[bar % song.progression.size()];
}

// ---- voices ----------------------------------------------------------------------------------

struct VoiceShape {
    double attack;
    double release;
};

VoiceShape shapeOf(Voice voice) {
    switch (voice) {
    case Voice::Pad:
        return {1.2, 1.8};
    case Voice::Pluck:
        return {0.004, 0.35};
    case Voice::Lead:
        return {0.06, 0.3};
    case Voice::Flute:
        return {0.1, 0.4};
    case Voice::Bass:
        return {0.03, 0.3};
    case Voice::Organ:
        return {0.07, 0.4};
    case Voice::Bell:
        return {0.003, 1.6};
    case Voice::Gull:
        return {0.05, 0.12};
    }
    return {0.01, 0.1};
}

// Attack ramp, hold, then a straight fall to zero over the release: no tail is ever cut.
double envelope(double t, double length, VoiceShape shape) {
    double rise = std::min(1.0, t / shape.attack);
    if (t <= length)
        return rise * rise;
    double level = std::min(1.0, length / shape.attack);
    return level * level * std::max(0.0, 1.0 - (t - length) / shape.release);
}

// Cheap deterministic noise for breath in the flute.
double hashNoise(size_t n) {
    uint32_t h = static_cast<uint32_t>(n) * 2654435761u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    return (h & 0xFFFF) / 32767.5 - 1.0;
}

// Noise interpolated between random points about 2 kHz apart: breathy, never hissy.
double softNoise(size_t n) {
    const size_t spacing = 20;
    double frac = static_cast<double>(n % spacing) / spacing;
    double smooth = frac * frac * (3.0 - 2.0 * frac);
    return hashNoise(n / spacing) * (1.0 - smooth) + hashNoise(n / spacing + 1) * smooth;
}

double voiceSample(Voice voice, double t, double f, size_t index) {
    double p = twoPi * f * t;
    switch (voice) {
    case Voice::Pad: {
        double sum = 0.0;
        for (int k = 1; k <= 5; ++k) {
            double weight = 1.0 / std::pow(k, 1.7);
            sum += weight * (std::sin(p * k * 1.003) + std::sin(p * k * 0.997 + k));
        }
        return 0.4 * sum * (0.85 + 0.15 * std::sin(twoPi * 0.3 * t));
    }
    case Voice::Pluck: {
        double index = 1.6 * std::exp(-t / 0.12);
        return std::sin(p + index * std::sin(2.0 * p)) * std::exp(-t / 0.45);
    }
    case Voice::Lead: {
        // Vibrato fades in after the attack; phase swing = frequency swing / rate.
        double depth = 0.0035 * f / 5.0 * std::min(1.0, std::max(0.0, (t - 0.25) / 0.4));
        double q = p + depth * std::sin(twoPi * 5.0 * t);
        return std::sin(q) + 0.25 * std::sin(2.0 * q) + 0.08 * std::sin(3.0 * q);
    }
    case Voice::Flute: {
        double depth = 0.0025 * f / 4.6 * std::min(1.0, t / 0.6);
        double q = p + depth * std::sin(twoPi * 4.6 * t);
        double breath = 0.06 * softNoise(index) * std::exp(-t / 0.3);
        return std::sin(q) + 0.12 * std::sin(2.0 * q) + 0.04 * std::sin(3.0 * q) + breath;
    }
    case Voice::Bass:
        return (std::sin(p) + 0.2 * std::sin(2.0 * p)) * (0.65 + 0.35 * std::exp(-t / 0.4));
    case Voice::Organ: {
        const double ratios[] = {0.5, 1.0, 2.0, 3.0, 4.0, 6.0, 8.0};
        const double weights[] = {0.35, 1.0, 0.55, 0.35, 0.22, 0.1, 0.07};
        double sum = 0.0;
        for (int i = 0; i < 7; ++i)
            sum += weights[i] * std::sin(p * ratios[i]);
        return 0.45 * sum * (0.9 + 0.1 * std::sin(twoPi * 5.6 * t));
    }
    case Voice::Bell: {
        double index = 1.8 * std::exp(-t / 0.35);
        return std::sin(p + index * std::sin(3.5 * p)) * std::exp(-t / 0.9);
    }
    case Voice::Gull: {
        // A falling glide, like a distant gull's call, drawn from the integral of the
        // frequency so the pitch slides without stepping.
        const double fall = 0.12;
        double q = twoPi * f * (t + 0.3 * fall * (1.0 - std::exp(-t / fall)));
        return std::sin(q) + 0.3 * std::sin(2.0 * q);
    }
    }
    return 0.0;
}

void renderNote(StereoBuffer& out, const Note& note) {
    VoiceShape shape = shapeOf(note.voice);
    double f = midiToHertz(note.midi);
    size_t first = static_cast<size_t>(note.start * sampleRate);
    size_t frames = static_cast<size_t>((note.length + shape.release) * sampleRate);
    float leftGain = note.velocity * std::cos((note.pan + 1.0f) * 0.785398f);
    float rightGain = note.velocity * std::sin((note.pan + 1.0f) * 0.785398f);
    for (size_t i = 0; i < frames && first + i < out.left.size(); ++i) {
        double t = static_cast<double>(i) / sampleRate;
        float s = static_cast<float>(voiceSample(note.voice, t, f, first + i) *
                                     envelope(t, note.length, shape));
        out.left[first + i] += s * leftGain;
        out.right[first + i] += s * rightGain;
    }
}

// Surf: band-passed noise (the rumble below ~150 Hz and the hiss above ~1.5 kHz removed),
// swelling and ebbing every eight seconds or so.
void addWaves(StereoBuffer& out, float level) {
    double wide = 0.0;
    double wider = 0.0;
    double rumble = 0.0;
    for (size_t i = 0; i < out.left.size(); ++i) {
        double t = static_cast<double>(i) / sampleRate;
        double noise = hashNoise(i * 7 + 3);
        wide += 0.15 * (noise - wide);
        wider += 0.15 * (wide - wider);
        rumble += 0.02 * (noise - rumble);
        double swell = std::sin(twoPi * t / 8.3);
        swell = 0.3 + 0.7 * swell * swell;
        double drift = 0.5 + 0.5 * std::sin(twoPi * t / 13.0);
        float s = static_cast<float>((wider - rumble) * swell * level);
        out.left[i] += s * static_cast<float>(0.6 + 0.4 * drift);
        out.right[i] += s * static_cast<float>(1.0 - 0.4 * drift);
    }
}

// ---- composition helpers ---------------------------------------------------------------------

// Pitch classes modulo 12 that are both in the scale and the chord.
bool inChord(int midi, int key, const std::vector<int>& chord) {
    for (int tone : chord)
        if (((midi - key - tone) % 12 + 12) % 12 == 0)
            return true;
    return false;
}

std::vector<int> scalePitches(const Song& song, int low, int high) {
    std::vector<int> pitches;
    for (int m = low; m <= high; ++m)
        for (int degree : song.scale)
            if (((m - song.key - degree) % 12 + 12) % 12 == 0)
                pitches.push_back(m);
    return pitches;
}

size_t nearestChordTone(const std::vector<int>& pitches, size_t from, int key,
                        const std::vector<int>& chord) {
    for (size_t distance = 0; distance < pitches.size(); ++distance) {
        if (from >= distance && inChord(pitches[from - distance], key, chord))
            return from - distance;
        if (from + distance < pitches.size() && inChord(pitches[from + distance], key, chord))
            return from + distance;
    }
    return from;
}

// A melody over `bars` bars from `firstBar`. The same seed over the same chords gives the
// same tune, so sections can come back; rhythms are beat lengths, negative for a rest.
void addMelody(std::vector<Note>& notes, const Song& song, uint32_t seed, int firstBar, int bars,
               const std::vector<std::vector<double>>& rhythms, Voice voice, int low, int high,
               float velocity) {
    Rng rng(seed);
    std::vector<int> pitches = scalePitches(song, low, high);
    size_t centre = pitches.size() / 2;
    size_t index = centre;
    for (int bar = 0; bar < bars; ++bar) {
        const std::vector<double>& rhythm = rhythms[rng.nextInt() % rhythms.size()];
        const std::vector<int>& chord = chordAt(song, firstBar + bar);
        double beat = 0.0;
        for (size_t n = 0; n < rhythm.size(); ++n) {
            double length = std::fabs(rhythm[n]);
            if (rhythm[n] > 0.0) {
                int step = static_cast<int>(rng.nextInt() % 5) - 2;
                if (index > centre + 2 && step > 0)
                    step = -step;
                if (index + 2 < centre && step < 0)
                    step = -step;
                long next = static_cast<long>(index) + step;
                index = static_cast<size_t>(
                    std::min<long>(static_cast<long>(pitches.size()) - 1, std::max(0L, next)));
                bool strong = beat == 0.0 || length >= 2.0 || bar + 1 == bars;
                if (strong)
                    index = nearestChordTone(pitches, index, song.key, chord);
                double start = (firstBar + bar) * barSeconds(song) + beat * song.beat;
                notes.push_back(
                    {start, length * song.beat * 0.92, static_cast<double>(pitches[index]),
                     velocity * rng.range(0.85f, 1.0f), rng.range(-0.15f, 0.15f), voice});
            }
            beat += length;
        }
    }
}

void addPads(std::vector<Note>& notes, const Song& song, int firstBar, int bars, int octave,
             float velocity, Voice voice) {
    const float pans[] = {-0.45f, 0.45f, -0.2f, 0.2f};
    for (int bar = firstBar; bar < firstBar + bars; ++bar) {
        const std::vector<int>& chord = chordAt(song, bar);
        for (size_t i = 0; i < chord.size(); ++i)
            notes.push_back({bar * barSeconds(song), barSeconds(song),
                             static_cast<double>(song.key + octave + chord[i]), velocity,
                             pans[i % 4], voice});
    }
}

void addBass(std::vector<Note>& notes, const Song& song, int firstBar, int bars,
             const std::vector<double>& pattern, float velocity, Voice voice) {
    for (int bar = firstBar; bar < firstBar + bars; ++bar) {
        int root = ((chordAt(song, bar)[0] % 12) + 12) % 12;
        double beat = 0.0;
        for (double length : pattern) {
            notes.push_back({bar * barSeconds(song) + beat * song.beat, length * song.beat * 0.9,
                             static_cast<double>(song.key - 24 + root), velocity, 0.0f, voice});
            beat += length;
        }
    }
}

void addArpeggio(std::vector<Note>& notes, const Song& song, int firstBar, int bars,
                 const std::vector<int>& order, double step, float velocity, Voice voice) {
    int perBar = static_cast<int>(song.beatsPerBar / step + 0.5);
    for (int bar = firstBar; bar < firstBar + bars; ++bar) {
        const std::vector<int>& chord = chordAt(song, bar);
        for (int i = 0; i < perBar; ++i) {
            int pick = order[i % order.size()];
            int tone = chord[pick % chord.size()] + 12 * (pick / static_cast<int>(chord.size()));
            float pan = (i % 2 == 0) ? -0.35f : 0.35f;
            float accent = (i % 4 == 0) ? 1.0f : 0.75f;
            notes.push_back({bar * barSeconds(song) + i * step * song.beat, step * song.beat,
                             static_cast<double>(song.key + tone), velocity * accent, pan, voice});
        }
    }
}

} // namespace

double midiToHertz(double midi) {
    return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

Piece composeSurr() {
    // D major, unhurried: pad, a rippling pluck arpeggio and a soft lead.
    Song song = {62,
                 60.0 / 84.0,
                 4,
                 {{0, 4, 7, 11},
                  {-3, 0, 4, 7},
                  {5, 9, 12, 16},
                  {7, 11, 14, 16},
                  {0, 4, 7, 11},
                  {-3, 0, 4, 7},
                  {2, 5, 9, 12},
                  {7, 11, 14, 16}},
                 {0, 2, 4, 7, 9}};
    const int bars = 28;
    Piece piece = {"surr", bars * barSeconds(song) + 2.5, {}, 0.0f, 0.3f, 0.8f};
    addPads(piece.notes, song, 0, bars, -12, 0.06f, Voice::Pad);
    addArpeggio(piece.notes, song, 0, bars, {0, 1, 2, 3, 4, 3, 2, 1}, 0.5, 0.16f, Voice::Pluck);
    addBass(piece.notes, song, 4, bars - 4, {2.5, 1.5}, 0.3f, Voice::Bass);
    const std::vector<std::vector<double>> rhythms = {
        {1.5, 0.5, 2.0}, {1.0, 1.0, 1.0, 1.0}, {2.0, 1.0, 1.0}, {3.0, -1.0}, {0.5, 0.5, 1.0, 2.0}};
    addMelody(piece.notes, song, 0xA11CEu, 4, 8, rhythms, Voice::Lead, 69, 86, 0.2f);
    addMelody(piece.notes, song, 0xB0B0u, 12, 8, rhythms, Voice::Lead, 71, 88, 0.2f);
    addMelody(piece.notes, song, 0xA11CEu, 20, 8, rhythms, Voice::Lead, 69, 86, 0.2f);
    return piece;
}

Piece composeSeagull() {
    // F major over surf: an airy flute tune, bells, and now and then a far-off gull.
    Song song = {65,
                 60.0 / 72.0,
                 4,
                 {{0, 4, 7, 11}, {-3, 0, 4, 7}, {5, 9, 12, 16}, {7, 11, 14, 17}},
                 {0, 2, 4, 5, 7, 9}};
    const int bars = 24;
    Piece piece = {"seagull", bars * barSeconds(song) + 3.0, {}, 0.12f, 0.35f, 0.84f};
    addPads(piece.notes, song, 0, bars, -12, 0.05f, Voice::Pad);
    addArpeggio(piece.notes, song, 2, bars - 2, {4, 2, 5, 3}, 1.0, 0.07f, Voice::Bell);
    addBass(piece.notes, song, 4, bars - 4, {4.0}, 0.26f, Voice::Bass);
    const std::vector<std::vector<double>> rhythms = {
        {2.0, 1.0, 1.0}, {1.0, 1.0, 2.0}, {3.0, 1.0}, {4.0}, {1.5, 0.5, 2.0}};
    addMelody(piece.notes, song, 0x5EA6u, 4, 8, rhythms, Voice::Flute, 72, 89, 0.22f);
    addMelody(piece.notes, song, 0x6A11u, 12, 4, rhythms, Voice::Flute, 74, 91, 0.2f);
    addMelody(piece.notes, song, 0x5EA6u, 16, 8, rhythms, Voice::Flute, 72, 89, 0.22f);
    Rng rng(0x6011u);
    for (double call = 3.0; call < piece.seconds - 8.0; call += rng.range(9.0f, 16.0f)) {
        int cries = 2 + static_cast<int>(rng.nextInt() % 2);
        float pan = rng.range(-0.8f, 0.8f);
        for (int i = 0; i < cries; ++i)
            piece.notes.push_back(
                {call + i * 0.42, 0.26, 86.0 + rng.range(-1.0f, 1.0f), 0.035f, pan, Voice::Gull});
    }
    return piece;
}

Piece composeOrgan() {
    // A minor, slow: held organ chords, a pedal bass and a hymn-like melody on top.
    Song song = {57,
                 60.0 / 62.0,
                 4,
                 {{0, 3, 7, 12},
                  {-4, 0, 3, 8},
                  {3, 7, 10, 15},
                  {-2, 2, 5, 10},
                  {0, 3, 7, 12},
                  {5, 8, 12, 17},
                  {7, 11, 14, 19},
                  {0, 3, 7, 12}},
                 {0, 2, 3, 5, 7, 8, 10}};
    const int bars = 22;
    Piece piece = {"organ", bars * barSeconds(song) + 3.0, {}, 0.0f, 0.38f, 0.86f};
    addPads(piece.notes, song, 0, bars, 0, 0.07f, Voice::Organ);
    addBass(piece.notes, song, 2, bars - 2, {4.0}, 0.13f, Voice::Organ);
    addPads(piece.notes, song, 0, bars, -12, 0.03f, Voice::Pad);
    const std::vector<std::vector<double>> rhythms = {
        {2.0, 2.0}, {1.0, 1.0, 2.0}, {3.0, 1.0}, {4.0}, {2.0, 1.0, 1.0}};
    addMelody(piece.notes, song, 0x0A6Au, 2, 8, rhythms, Voice::Flute, 69, 84, 0.17f);
    addMelody(piece.notes, song, 0x0B6Bu, 10, 4, rhythms, Voice::Lead, 72, 86, 0.14f);
    addMelody(piece.notes, song, 0x0A6Au, 14, 8, rhythms, Voice::Flute, 69, 84, 0.17f);
    return piece;
}

StereoBuffer renderPiece(const Piece& piece) {
    StereoBuffer track = makeStereo(static_cast<size_t>(piece.seconds * sampleRate));
    for (const Note& note : piece.notes)
        renderNote(track, note);
    if (piece.wavesLevel > 0.0f)
        addWaves(track, piece.wavesLevel);
    addReverb(track, piece.reverbWet, piece.roomSize);
    masterTrack(track, masterPeak, fadeInSeconds, fadeOutSeconds);
    return track;
}
