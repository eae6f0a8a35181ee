#include "tools/assets/generate.h"

#include <cstdio>
#include <functional>

#include "tools/assets/audio.h"
#include "tools/assets/encoders.h"
#include "tools/assets/logo.h"
#include "tools/assets/music.h"
#include "tools/assets/textures.h"

namespace {

struct Picture {
    const char* file;
    std::function<Image()> paint;
    bool png;
};

const int iconSize = 64;

std::vector<Picture> pictures() {
    return {{"bg.tga", [] { return paintBackground(512); }, false},
            {"bubble2.tga", [] { return paintBubble(128); }, false},
            {"bubble1.tga", [] { return paintSpecialBubble(128); }, false},
            {"bubble_player.tga", [] { return paintPlayerBubble(128); }, false},
            {"spike.tga", [] { return paintSpike(128); }, false},
            {"orbelle.tga", [] { return paintLogo(512, 256); }, false},
            {"light.tga", [] { return paintFlare(512); }, false},
            {"orbelle-icon.png", [] { return paintPlayerBubble(iconSize); }, true}};
}

bool save(const std::string& path, const Bytes& bytes) {
    if (writeFile(path, bytes))
        return true;
    std::fprintf(stderr, "orbelle-assets: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

std::vector<std::string> imageFileNames() {
    std::vector<std::string> names;
    for (const Picture& picture : pictures())
        names.push_back(picture.file);
    return names;
}

bool writeImages(const std::string& dataDir) {
    for (const Picture& picture : pictures()) {
        Image image = picture.paint();
        Bytes bytes = picture.png ? encodePng(image) : encodeTga(image);
        if (!save(dataDir + "/" + picture.file, bytes))
            return false;
    }
    return true;
}

bool writeSoundEffects(const std::string& dataDir) {
    return save(dataDir + "/blip.wav", encodeWav(toPcm(makeBlip()), 1, sampleRate));
}

bool writeMusicWavs(const std::string& wavDir) {
    for (const Piece& piece : {composeSurr(), composeSeagull(), composeOrgan()}) {
        StereoBuffer track = renderPiece(piece);
        if (!save(wavDir + "/" + piece.name + ".wav", encodeWav(toPcm(track), 2, sampleRate)))
            return false;
    }
    return true;
}
