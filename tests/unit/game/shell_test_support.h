// Helpers for the shell's tests: scratch directories and reading back a frame's texts.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/tessel.h"

// A fresh directory under /tmp that the test works in until the end of the scope.
struct ScratchDirectory {
    ScratchDirectory() {
        char pattern[] = "/tmp/orbelle-shell-XXXXXX";
        path = mkdtemp(pattern);
        char previous[4096];
        oldDirectory = getcwd(previous, sizeof previous);
        if (chdir(path.c_str()) != 0)
            std::abort();
    }
    ~ScratchDirectory() {
        if (chdir(oldDirectory.c_str()) != 0)
            std::abort();
        std::system(("rm -rf '" + path + "'").c_str());
    }
    // data/ of the source tree, for tests that load real images and music.
    void linkData() {
        if (symlink((sourceDirectory() + "/data").c_str(), "data") != 0)
            std::abort();
    }
    static std::string sourceDirectory() {
        const char* dir = std::getenv("ORBELLE_SOURCE_DIR");
        return dir ? dir : ORBELLE_TEST_SOURCE_DIR;
    }
    std::string path, oldDirectory;
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
