// config.txt as anything at all: every value stays in its range, and each of the first six
// tokens of up to 32 characters is taken exactly when it is a whole decimal number in range.
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "game/config.h"

namespace {
const size_t longestToken = 32;

std::vector<std::string> tokensOf(const char* data, size_t size) {
    std::vector<std::string> tokens;
    std::string token;
    for (size_t i = 0; i < size; ++i) {
        if (std::isspace(static_cast<unsigned char>(data[i]))) {
            if (!token.empty())
                tokens.push_back(token);
            token.clear();
        } else {
            token += data[i];
        }
    }
    if (!token.empty())
        tokens.push_back(token);
    return tokens;
}

// The value of a token that is one whole decimal number with an optional sign.
bool numberOf(const std::string& token, long long& value) {
    const char* first = token.data();
    const char* last = first + token.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

// What a value should come out as: the token's number when it is one and in range, else the
// default. Over-long tokens are only known to give a value in range.
void expectValue(const std::vector<std::string>& tokens, size_t index, long long actual,
                 long long fallback, long long low, long long high) {
    FUZZ_CHECK(actual >= low && actual <= high);
    if (index < tokens.size() && tokens[index].size() > longestToken)
        return;
    long long value = 0;
    bool taken =
        index < tokens.size() && numberOf(tokens[index], value) && value >= low && value <= high;
    FUZZ_CHECK(actual == (taken ? value : fallback));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    FILE* file = fmemopen(const_cast<char*>(text), size, "r");
    FUZZ_CHECK(file != nullptr);
    GameConfig config = readConfig(file);
    std::fclose(file);

    const GameConfig defaults;
    std::vector<std::string> tokens = tokensOf(text, size);
    expectValue(tokens, 0, config.screenWidth, defaults.screenWidth, 1, 16384);
    expectValue(tokens, 1, config.screenHeight, defaults.screenHeight, 1, 16384);
    expectValue(tokens, 2, config.colourDepth, defaults.colourDepth, 1, 64);
    expectValue(tokens, 3, config.musicEnabled, defaults.musicEnabled, INT_MIN, INT_MAX);
    expectValue(tokens, 4, config.initFlag, defaults.initFlag, 0, 1);
    expectValue(tokens, 5, config.internetScoresEnabled, defaults.internetScoresEnabled, 0, 1);
    return 0;
}
