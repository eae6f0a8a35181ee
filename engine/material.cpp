// Materials: a name, a colour, a render mode and the texture the device made from a picture.
#include <cstring>

#include "engine/device.h"

TSLMaterial::TSLMaterial() = default;

TSLMaterial::TSLMaterial(const char* name, float red, float green, float blue, float alpha,
                         const char* textureFile)
    : name(name ? name : "") {
    SetDiffuseColor(red, green, blue, alpha);
    if (textureFile)
        texture = tslDevice().LoadTexture(textureFile, *this);
}

TSLMaterial::~TSLMaterial() {
    if (texture)
        tslDevice().DeleteTexture(texture);
}

void TSLMaterial::SetDiffuseColor(float red, float green, float blue, float alpha) {
    diffuse[0] = red;
    diffuse[1] = green;
    diffuse[2] = blue;
    diffuse[3] = alpha;
}

bool TSLMaterial::Opaque() const {
    return texture && opaqueTexture && renderMode != tslAlphaTestRenderMode && diffuse[3] >= 1;
}

TSLMaterialLibrary::TSLMaterialLibrary() = default;

TSLMaterialLibrary::~TSLMaterialLibrary() {
    for (TSLMaterial* material : materials)
        delete material;
}

TSLMaterial* TSLMaterialLibrary::NewMaterial(const char* name, float red, float green, float blue,
                                             float alpha, const char* textureFile) {
    materials.push_back(new TSLMaterial(name, red, green, blue, alpha, textureFile));
    return materials.back();
}

// Newest first, so a name made twice finds the material made last.
TSLMaterial* TSLMaterialLibrary::GetMaterial(const char* name) {
    if (!name)
        return nullptr;
    for (auto it = materials.rbegin(); it != materials.rend(); ++it)
        if (std::strcmp((*it)->name, name) == 0)
            return *it;
    return nullptr;
}
