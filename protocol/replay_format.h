// A round recorded as its inputs, in the file that the game keeps beside its top ten and sends
// to the score server: what the rules cannot work out at the round's start, then each frame's
// milliseconds and held keys, the frames in which the music turned to another track (that draws
// from the random generator), and a check value of the state every 64 frames, so that a replay
// that parts from the game it claims to come from is caught at the frame where it parts.
// The byte layout is in docs/file-formats.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

const int replayFormatVersion = 1;
// A check value follows every this many frames.
const uint32_t replayCheckInterval = 64;
// Six hours of play at the game's 64 frames a second: more than any round lasts.
const uint32_t replayMaxFrames = 64 * 60 * 60 * 6;
const size_t replayMaxFileBytes = 1024 * 1024;
const size_t replayMaxNameLength = 15;

// What steering saw held in a frame, and what else the frame did that the rules cannot tell.
enum ReplayInputBits : uint8_t {
    replayHeldUp = 1 << 0,
    replayHeldDown = 1 << 1,
    replayHeldLeft = 1 << 2,
    replayHeldRight = 1 << 3,
    replayHeldEscape = 1 << 4,
    // The name entry ended the frame's input handling before the player was steered.
    replayNotSteered = 1 << 5,
    // The music track ended and the next one was drawn.
    replayMusicTurned = 1 << 6,
};
const uint8_t replayKnownInputBits = 0x7F;

// The state a round starts from that earlier rounds and the time spent in the menu decide.
struct ReplayStart {
    uint32_t randomState = 1;   // the generator just before the round's fields are placed
    uint8_t eventKind = 0;      // the last event started before the round, 0 to 2
    float savedBubbleSpeed = 1; // what ending that event puts back
    float savedSpikeSpeed = 2;
    uint8_t musicTrack = 0; // the track playing, 0 to 2
    // A name entry of an earlier round was still open (Escape left it): its keys can end a
    // frame's input handling before the player is steered (replayNotSteered).
    bool nameEntryOpen = false;
    std::vector<bool> collectable; // each bubble's flag: false while collected or popped
};

struct ReplayFrame {
    uint32_t millis = 0; // since the frame before, never 0
    uint8_t input = 0;   // ReplayInputBits
};

struct Replay {
    std::string name;  // as the player typed it: bytes, at most 15, no NUL
    int32_t score = 0; // claimed: the round's score cut to a whole number
    ReplayStart start;
    std::vector<ReplayFrame> frames;
    // checks[k]: the state's check value once frames 0 to 64(k+1)-1 have run.
    std::vector<uint32_t> checks;
};

enum class ReplayReadError { none, notReplay, newerVersion, damaged, tooLarge };

// The file's bytes.
std::string encodeReplay(const Replay& replay);
// Reads a file's bytes; anything but none leaves *replay unspecified. Checks the layout and the
// ranges a file can break (lengths, kinds, finite speeds, frames of at least one millisecond),
// not whether the round could be played: that takes playing it.
ReplayReadError decodeReplay(const std::string& bytes, Replay* replay);
// One line for a person: why a file was refused.
const char* replayReadErrorText(ReplayReadError error);
