// Replay files as anyone may send them to a score server: whatever is read back encodes to a
// file that reads back the same. Half the inputs get their check sum made right, so that the
// fuzzer reaches the fields behind it.
#include <zlib.h>

#include <string>

#include "fuzz/fuzz_check.h"
#include "protocol/replay_format.h"

namespace {
std::string withRightSum(const std::string& body) {
    std::string bytes = body;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    for (int i = 0; i < 4; ++i)
        bytes += char(crc >> (8 * i));
    return bytes;
}

bool sameReplay(const Replay& a, const Replay& b) {
    if (a.frames.size() != b.frames.size())
        return false;
    for (size_t i = 0; i < a.frames.size(); ++i)
        if (a.frames[i].millis != b.frames[i].millis || a.frames[i].input != b.frames[i].input)
            return false;
    const ReplayStart &x = a.start, &y = b.start;
    return a.name == b.name && a.score == b.score && a.checks == b.checks &&
           x.randomState == y.randomState && x.eventKind == y.eventKind &&
           x.savedBubbleSpeed == y.savedBubbleSpeed && x.savedSpikeSpeed == y.savedSpikeSpeed &&
           x.musicTrack == y.musicTrack && x.nameEntryOpen == y.nameEntryOpen &&
           x.collectable == y.collectable;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string bytes = data[0] & 1 ? withRightSum(rest) : rest;
    Replay replay;
    if (decodeReplay(bytes, &replay) != ReplayReadError::none)
        return 0;
    FUZZ_CHECK(replay.name.size() <= replayMaxNameLength);
    FUZZ_CHECK(replay.frames.size() <= replayMaxFrames);
    Replay again;
    FUZZ_CHECK(decodeReplay(encodeReplay(replay), &again) == ReplayReadError::none);
    FUZZ_CHECK(sameReplay(replay, again));
    return 0;
}
