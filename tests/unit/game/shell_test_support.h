// Helpers for the shell's tests: scratch directories and reading back a frame's texts.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/tessel.h"

// A fresh directory under /tmp that the test works in until the end of the scope. Failing to
// enter or leave it throws, which fails the test (or, on leaving, ends the program).
struct ScratchDirectory {
    ScratchDirectory() : oldDirectory(std::filesystem::current_path()) {
        char pattern[] = "/tmp/orbelle-shell-XXXXXX";
        path = mkdtemp(pattern);
        std::filesystem::current_path(path);
    }
    ~ScratchDirectory() {
        std::filesystem::current_path(oldDirectory);
        std::filesystem::remove_all(path);
    }
    // data/ of the source tree, for tests that load real images and music.
    void linkData() {
        std::filesystem::create_directory_symlink(sourceDirectory() + "/data", "data");
    }
    static std::string sourceDirectory() {
        const char* dir = std::getenv("ORBELLE_SOURCE_DIR");
        return dir ? dir : ORBELLE_TEST_SOURCE_DIR;
    }
    std::string oldDirectory, path;
};

inline std::string readWholeFile(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

inline bool wasPrinted(const std::string& text) {
    for (const TSLPrintedText& t : TSLPrintedTexts())
        if (t.text == text)
            return true;
    return false;
}
