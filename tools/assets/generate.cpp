#include "tools/assets/generate.h"

#include <cstdio>
#include <filesystem>
#include <functional>

#include "tools/assets/audio.h"
#include "tools/assets/encoders.h"
#include "tools/assets/icon_svg.h"
#include "tools/assets/logo.h"
#include "tools/assets/music.h"
#include "tools/assets/textures.h"

namespace {

struct Picture {
    std::string file;
    std::function<Image()> paint;
    bool png;
};

// The sizes desktops look for in the hicolor icon theme.
const int iconSizes[] = {16, 32, 48, 64, 128, 256};
const char* const iconFolder = "icons";
const char* const scalableIcon = "icons/orbelle.svg";

std::string iconFile(int size) {
    return std::string(iconFolder) + "/orbelle-" + std::to_string(size) + ".png";
}

std::vector<Picture> pictures() {
    std::vector<Picture> all = {{"bg.tga", [] { return paintBackground(512); }, false},
                                {"bubble2.tga", [] { return paintBubble(128); }, false},
                                {"bubble1.tga", [] { return paintSpecialBubble(128); }, false},
                                {"bubble_player.tga", [] { return paintPlayerBubble(128); }, false},
                                {"spike.tga", [] { return paintSpike(128); }, false},
                                {"orbelle.tga", [] { return paintLogo(512, 256); }, false},
                                {"light.tga", [] { return paintFlare(512); }, false}};
    for (int size : iconSizes)
        all.push_back({iconFile(size), [size] { return paintPlayerBubble(size); }, true});
    return all;
}

bool save(const std::string& path, const Bytes& bytes) {
    if (!bytes.empty() && writeFile(path, bytes))
        return true;
    std::fprintf(stderr, "orbelle-assets: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

std::vector<std::string> imageFileNames() {
    std::vector<std::string> names;
    for (const Picture& picture : pictures())
        names.push_back(picture.file);
    names.push_back(scalableIcon);
    return names;
}

bool writeImages(const std::string& dataDir) {
    std::error_code error; // a folder that cannot be made shows as the first file not written
    std::filesystem::create_directories(dataDir + "/" + iconFolder, error);
    const std::string svg = orbelleIconSvg();
    if (!save(dataDir + "/" + scalableIcon, Bytes(svg.begin(), svg.end())))
        return false;
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
