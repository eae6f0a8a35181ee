// config.txt as anything at all: every value stays in its range, and each of the first six
// tokens of up to 32 characters is taken exactly when it is a whole decimal number in range.
#include <charconv>
#include <climits>
#include <cstdio>
#include <sstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "game/config.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    FILE* file = fmemopen(const_cast<char*>(text), size, "r");
    FUZZ_CHECK(file != nullptr);
    GameConfig config = readConfig(file);
    std::fclose(file);

    // Tokens split at white space only; a NUL byte is part of its token.
    std::istringstream stream(std::string(text, size));
    // What a value should come out as: the next token's number when it is one whole decimal
    // number with an optional sign and in range, else the default. Over-long tokens are only
    // known to give a value in range.
    auto expectValue = [&](long long actual, long long fallback, long long low, long long high) {
        FUZZ_CHECK(actual >= low && actual <= high);
        std::string token;
        bool present = bool(stream >> token);
        if (token.size() > 32)
            return;
        const char* first = token.data() + (token.size() > 1 && token[0] == '+' && token[1] != '-');
        long long value = 0;
        auto parsed = std::from_chars(first, token.data() + token.size(), value);
        bool taken = present && parsed.ec == std::errc() &&
                     parsed.ptr == token.data() + token.size() && value >= low && value <= high;
        FUZZ_CHECK(actual == (taken ? value : fallback));
    };
    const GameConfig defaults;
    expectValue(config.screenWidth, defaults.screenWidth, 1, 16384);
    expectValue(config.screenHeight, defaults.screenHeight, 1, 16384);
    expectValue(config.colourDepth, defaults.colourDepth, 1, 64);
    expectValue(config.musicEnabled, defaults.musicEnabled, INT_MIN, INT_MAX);
    expectValue(config.initFlag, defaults.initFlag, 0, 1);
    expectValue(config.internetScoresEnabled, defaults.internetScoresEnabled, 0, 1);
    return 0;
}
