// orbelle-assets: paints and composes the game's data files.
//   orbelle-assets DATA_DIR [MUSIC_WAV_DIR]
// Without MUSIC_WAV_DIR only the pictures and the blip are made, which takes a moment;
// the tracks take a few seconds each and are encoded to MP3 by tools/make-assets.sh.
#include <cstdio>
#include <string>

#include "tools/assets/generate.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s DATA_DIR [MUSIC_WAV_DIR]\n", argv[0]);
        return 2;
    }
    std::string dataDir = argv[1];
    if (!writeImages(dataDir) || !writeSoundEffects(dataDir))
        return 1;
    if (argc == 3 && !writeMusicWavs(argv[2]))
        return 1;
    return 0;
}
