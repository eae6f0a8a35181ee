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
    // Every field is in the file, so equal files mean equal replays.
    FUZZ_CHECK(encodeReplay(again) == encodeReplay(replay));
    return 0;
}
