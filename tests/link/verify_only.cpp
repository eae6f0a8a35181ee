// The replay check alone, linked as the score server links it: it plays a round with the game's
// simulation and must load no SDL, OpenGL or sound library (tests/CMakeLists.txt reads its
// dynamic section). usage: verify_only FILE; exit 0 when the file reaches its claim.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "replay/verify_replay.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const ReplayVerdict verdict = verifyReplay(bytes);
    std::printf("%s score %d frames %u %s\n", replayVerdictWord(verdict.kind), verdict.score,
                verdict.frames, verdict.reason.c_str());
    return verdict.kind == ReplayVerdictKind::ok ? 0 : 1;
}
