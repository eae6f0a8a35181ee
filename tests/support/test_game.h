// Shared set-up for in-process tests.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/tessel.h"

// Headless engine, the game's values, sprites and generator at their start, the materials
// made once, no held test keys, printed texts or queued SDL events.
void resetGameForTest();

// The same, with both fields (200 bubbles, 150 spikes): made the first time, later reused.
void resetGameWithFieldsForTest();

// For a test that makes the fields anew, as start-up does (in the sprites it finds, from the
// generator as it stands): the shared test fields are set aside, and the ones made are freed
// at the end of the scope.
struct FieldsOfStartUp {
    FieldsOfStartUp();
    ~FieldsOfStartUp();
};

// Puts the generator in the first state whose next draws give the values asked for, each a
// divisor and the remainder wanted (-1: any).
void seedDraws(const std::vector<std::pair<int, int>>& draws);

// Queues an SDL event of the given type; a key event when sym is given.
void pushTestEvent(int type, int sym = 0, int mod = 0);

std::vector<int> takeQueuedEventTypes();

// A fresh directory under /tmp to work in until the end of the scope, with the game's data
// folder linked into it if asked.
struct ScratchDirectory {
    explicit ScratchDirectory(bool withData = false)
        : oldDirectory(std::filesystem::current_path()) {
        char pattern[] = "/tmp/orbelle-test-XXXXXX";
        path = mkdtemp(pattern);
        std::filesystem::current_path(path);
        if (withData)
            std::filesystem::create_directory_symlink(sourceDirectory() + "/data", "data");
    }
    ~ScratchDirectory() {
        std::filesystem::current_path(oldDirectory);
        std::filesystem::remove_all(path);
    }
    // Every test program sets this variable before its tests run.
    static std::string sourceDirectory() { return std::getenv("ORBELLE_SOURCE_DIR"); }
    std::string oldDirectory, path;
};

inline std::string readWholeFile(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// All a temporary file holds; the file is closed.
inline std::string textOf(FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += char(c);
    std::fclose(file);
    return text;
}

inline void writeWholeFile(const char* name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
}

// The text printed at exactly (x, y) this frame; "(nothing)" when none.
inline std::string textAt(float x, float y) {
    for (const TSLPrintedText& t : TSLPrintedTexts())
        if (t.x == x && t.y == y)
            return t.text;
    return "(nothing)";
}
