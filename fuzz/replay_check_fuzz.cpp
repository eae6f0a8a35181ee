// Replays as anyone may send them to a score server: whatever is read back encodes to a file
// that reads back the same, and the game's simulation checks it within its limits to a verdict
// that holds together. Half the inputs get their check sum made right, so that the fuzzer
// reaches the fields and frames behind it.
#include <zlib.h>

#include <string>

#include "fuzz/fuzz_check.h"
#include "replay/verify_replay.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size == 0)
        return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size()));
        for (int i = 0; i < 4; ++i)
            bytes += char(crc >> (8 * i));
    }
    Replay replay, again;
    const bool readable = decodeReplay(bytes, &replay) == ReplayReadError::none;
    if (readable) {
        FUZZ_CHECK(replay.name.size() <= replayMaxNameLength);
        FUZZ_CHECK(replay.frames.size() <= replayMaxFrames);
        FUZZ_CHECK(decodeReplay(encodeReplay(replay), &again) == ReplayReadError::none);
        // Every field is in the file, so equal files mean equal replays.
        FUZZ_CHECK(encodeReplay(again) == encodeReplay(replay));
    }
    VerifyLimits limits;
    limits.maxFrames = 4096;
    const ReplayVerdict verdict = verifyReplay(bytes, limits);
    FUZZ_CHECK(readable == (verdict.kind != ReplayVerdictKind::malformed));
    FUZZ_CHECK(verdict.frames <= verdict.claimedFrames && verdict.frames <= limits.maxFrames);
    if (verdict.kind == ReplayVerdictKind::ok)
        FUZZ_CHECK(verdict.score == replay.score && verdict.frames == replay.frames.size());
    if (verdict.kind == ReplayVerdictKind::mismatch)
        FUZZ_CHECK(verdict.divergedAt >= 0 && verdict.divergedAt <= int64_t(replay.frames.size()));
    else
        FUZZ_CHECK(verdict.divergedAt == -1);
    return 0;
}
