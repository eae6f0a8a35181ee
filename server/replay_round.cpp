#include "server/replay_round.h"

#include <cstring>

#include "protocol/score_signature.h"

namespace {
template <typename Value> void add(Md5Context& md5, Value value) {
    unsigned char bytes[sizeof(Value)];
    memcpy(bytes, &value, sizeof(Value));
    md5Update(&md5, bytes, sizeof(Value));
}
} // namespace

std::string replayRound(const Replay& replay) {
    Md5Context md5;
    md5Init(&md5);
    const ReplayStart& start = replay.start;
    add(md5, start.randomState);
    add(md5, start.eventKind);
    add(md5, start.savedBubbleSpeed);
    add(md5, start.savedSpikeSpeed);
    add(md5, start.musicTrack);
    add(md5, uint8_t(start.nameEntryOpen));
    add(md5, uint32_t(start.collectable.size()));
    for (bool collectable : start.collectable)
        add(md5, uint8_t(collectable));
    add(md5, replay.score);
    add(md5, uint32_t(replay.frames.size()));
    for (uint32_t check : replay.checks)
        add(md5, check);
    if (replay.checks.empty())
        for (const ReplayFrame& frame : replay.frames) {
            add(md5, frame.millis);
            add(md5, frame.input);
        }
    unsigned char digest[16];
    md5Final(digest, &md5);
    return std::string(reinterpret_cast<const char*>(digest), sizeof(digest));
}
