#include "game/config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/score_exchange.h"

const char* configFile = "config.txt";
const char* const defaultConfigText = "800\n600\n32\n1\n1\n1";

namespace {
// Larger than any real screen; beyond it the window request is surely a typo.
const long maxWindowSide = 16384;
const long maxColourDepth = 64;
const size_t maxTokenLength = 32;
// Six numbers take a few bytes; what lies beyond this is not looked at.
const size_t maxConfigBytes = 4096;

// Only when the file cannot be read at all; "x" refuses to truncate a file that exists but
// could not be opened, so a user's settings are never replaced.
void writeDefaultConfig(const char* path) {
    FILE* file = std::fopen(path, "wx");
    if (!file)
        return;
    std::fputs(defaultConfigText, file);
    std::fclose(file);
}

// The next whitespace-separated token; empty at the end of the file. A token too long to be
// any of our numbers comes back cut short with a mark that no number parse accepts, so a
// garbage file cannot make us hold it all in memory.
std::string readToken(FILE* file) {
    int c = std::fgetc(file);
    while (c != EOF && std::isspace(c))
        c = std::fgetc(file);
    std::string token;
    while (c != EOF && !std::isspace(c)) {
        if (token.size() < maxTokenLength)
            token += char(c);
        else
            token.back() = '?';
        c = std::fgetc(file);
    }
    // The line end after the sixth value tells where the setting lines begin.
    if (c != EOF)
        std::ungetc(c, file);
    return token;
}

// The next token as a whole decimal integer; false when there is none or it is not one.
bool readNumber(FILE* file, long& value) {
    std::string token = readToken(file);
    if (token.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(token.c_str(), &end, 10);
    // The whole token, NUL bytes included: "32\0x" is no number.
    return errno == 0 && end == token.c_str() + token.size();
}

void readInt(FILE* file, int& target, long low, long high) {
    long value = 0;
    if (readNumber(file, value) && value >= low && value <= high)
        target = int(value);
}

void readFlag(FILE* file, bool& target) {
    long value = 0;
    if (readNumber(file, value) && (value == 0 || value == 1))
        target = value == 1;
}

// The rest of the line, without the line end.
std::string readLine(FILE* file) {
    std::string line;
    for (int c = std::fgetc(file); c != EOF && c != '\n'; c = std::fgetc(file))
        line += char(c);
    return line;
}

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\f\v";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// False when the line names no setting or gives it a value it cannot take.
bool applySetting(const std::string& key, const std::string& value, GameConfig& config) {
    if (key == "server" && isScoreServerAddress(value)) {
        config.scoreServer = value;
        return true;
    }
    if (key == "shake" && (value == "0" || value == "1")) {
        config.screenShake = value == "1";
        return true;
    }
    return false;
}

// `key value` per line; blank lines and lines starting with "#" are for the reader.
void readSettingLines(FILE* file, GameConfig& config) {
    while (!std::feof(file)) {
        const std::string line = trimmed(readLine(file));
        if (line.empty() || line[0] == '#')
            continue;
        const size_t keyEnd = line.find_first_of(" \t");
        const std::string key = line.substr(0, keyEnd);
        const std::string value = keyEnd == std::string::npos ? "" : trimmed(line.substr(keyEnd));
        if (!applySetting(key, value, config))
            config.ignoredLines.push_back(line);
    }
}
} // namespace

GameConfig readConfig(FILE* file) {
    GameConfig config;
    readInt(file, config.screenWidth, 1, maxWindowSide);
    readInt(file, config.screenHeight, 1, maxWindowSide);
    readInt(file, config.colourDepth, 1, maxColourDepth);
    // Any number is a valid music setting; only exactly 1 starts the music.
    readInt(file, config.musicEnabled, INT_MIN, INT_MAX);
    readFlag(file, config.initFlag);
    readFlag(file, config.internetScoresEnabled);
    // Whatever the sixth value's line holds after it belongs to no setting.
    readLine(file);
    readSettingLines(file, config);
    return config;
}

void reportIgnoredSettings(const GameConfig& config) {
    for (std::string line : config.ignoredLines) {
        // Shown as text, not as terminal controls.
        for (char& c : line)
            if (!std::isprint(static_cast<unsigned char>(c)))
                c = '?';
        std::fprintf(stderr,
                     "orbelle: %s: ignored the line \"%s\" (settings: server HOST[:PORT], "
                     "shake 0 or 1)\n",
                     configFile, line.c_str());
    }
}

namespace {
// The first bytes of path when it is a regular file (after links); nothing for a device, a pipe
// or a folder, which could hang start-up or feed it without end. False when path cannot be
// opened at all. Opening does not wait for a pipe's writer.
bool readSettingsText(const char* path, std::string& text) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    text.clear();
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[maxConfigBytes];
        size_t size = 0;
        while (size < sizeof buffer) {
            ssize_t got = read(fd, buffer + size, sizeof buffer - size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            size += size_t(got);
        }
        text.assign(buffer, size);
    }
    close(fd);
    return true;
}
} // namespace

GameConfig loadConfig(const char* path) {
    std::string text;
    if (!readSettingsText(path, text)) {
        writeDefaultConfig(path);
        if (!readSettingsText(path, text))
            return GameConfig();
    }
    if (text.empty())
        return GameConfig();
    FILE* file = fmemopen(&text[0], text.size(), "r");
    if (!file)
        return GameConfig();
    GameConfig config = readConfig(file);
    std::fclose(file);
    return config;
}
