// config.txt as anyone may have written it, against a reading of our own: the first six
// whitespace-separated tokens each give their value when the whole token is a decimal number
// in range (a token over 32 characters never does), else the default; the rest of the sixth
// value's line is skipped; every later line, blanks trimmed, is empty, a "#" note, a setting
// taken, or a line ignored as written.
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "game/config.h"
#include "net/score_exchange.h"

namespace {
struct Reading {
    const std::string text;
    size_t at = 0;

    std::string token() {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        const size_t start = at;
        while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        return text.substr(start, at - start);
    }
    long long value(long long fallback, long long low, long long high) {
        const std::string t = token();
        const char* first = t.data() + (t.size() > 1 && t[0] == '+' && t[1] != '-');
        long long number = 0;
        const auto [end, error] = std::from_chars(first, t.data() + t.size(), number);
        const bool whole = !t.empty() && error == std::errc() && end == t.data() + t.size();
        return whole && t.size() <= 32 && number >= low && number <= high ? number : fallback;
    }
    std::string line() {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string found = text.substr(at, end - at);
        at = end + 1;
        return found;
    }
};

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\f\v");
    return first == std::string::npos
               ? ""
               : text.substr(first, text.find_last_not_of(" \t\r\f\v") + 1 - first);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    FILE* file = fmemopen(const_cast<char*>(text.data()), size, "r");
    if (!file)
        return 0; // fmemopen takes no empty buffer
    const GameConfig config = readConfig(file);
    std::fclose(file);

    Reading model{text};
    const GameConfig defaults;
    FUZZ_CHECK(config.screenWidth == model.value(defaults.screenWidth, 1, 16384));
    FUZZ_CHECK(config.screenHeight == model.value(defaults.screenHeight, 1, 16384));
    FUZZ_CHECK(config.colourDepth == model.value(defaults.colourDepth, 1, 64));
    FUZZ_CHECK(config.musicEnabled == model.value(defaults.musicEnabled, INT_MIN, INT_MAX));
    FUZZ_CHECK(config.initFlag == model.value(defaults.initFlag, 0, 1));
    FUZZ_CHECK(config.internetScoresEnabled == model.value(defaults.internetScoresEnabled, 0, 1));
    model.line();
    std::string server;
    bool shake = defaults.screenShake;
    std::vector<std::string> ignored;
    while (model.at < text.size()) {
        const std::string line = trimmed(model.line());
        const size_t keyEnd = line.find_first_of(" \t");
        const std::string key = line.substr(0, keyEnd);
        const std::string value = keyEnd == std::string::npos ? "" : trimmed(line.substr(keyEnd));
        if (key == "server" && isScoreServerAddress(value))
            server = value;
        else if (key == "shake" && (value == "0" || value == "1"))
            shake = value == "1";
        else if (!line.empty() && line[0] != '#')
            ignored.push_back(line);
    }
    FUZZ_CHECK(config.scoreServer == server);
    FUZZ_CHECK(config.screenShake == shake);
    FUZZ_CHECK(config.ignoredLines == ignored);
    return 0;
}
