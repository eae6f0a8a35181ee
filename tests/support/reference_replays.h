// The reference replays in tests/replays, and copies of them changed as a forger would.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "protocol/replay_format.h"
#include "tests/support/test_game.h"

// The file of round "0", "5-entered" and so on.
inline std::string referenceReplay(const std::string& round) {
    const std::string path = ScratchDirectory::sourceDirectory() + "/tests/replays/round-" + round;
    return readWholeFile((path + ".orbr").c_str());
}

// The round's file with the change made, its check values cut to the frames left, written
// out whole and sound, CRC and all.
inline std::string changedReplay(const std::string& round,
                                 const std::function<void(Replay&)>& change) {
    Replay replay;
    EXPECT_EQ(decodeReplay(referenceReplay(round), &replay), ReplayReadError::none) << round;
    change(replay);
    replay.checks.resize(replay.frames.size() / replayCheckInterval, 0);
    return encodeReplay(replay);
}
