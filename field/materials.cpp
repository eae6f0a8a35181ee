#include "field/materials.h"

#include "record/game_state.h"

void createMaterials() {
    TSLMaterialLibrary& library = game.materials;
    game.background.material =
        library.NewMaterial(backgroundMaterialName, 0.7f, 0.7f, 0.7f, 1, "data/bg.tga");
    library.NewMaterial(bubbleMaterialName, 0.8f, 0.8f, 0.8f, 1, "data/bubble2.tga");
    game.player.material = library.NewMaterial(playerBubbleMaterialName, 0.8f, 0.8f, 0.8f, 1,
                                               "data/bubble_player.tga");
    // Red far above 1 is how a bonus bubble is told apart; it must stay exactly 100.
    library.NewMaterial(bonusBubbleMaterialName, 100, 0, 0, 1, "data/bubble1.tga");
    game.logo.material =
        library.NewMaterial(logoMaterialName, 0.3f, 0.4f, 0.5f, 1, "data/orbelle.tga");
    game.flare.material =
        library.NewMaterial(flareMaterialName, 0.3f, 0.3f, 0.3f, 1, "data/light.tga");
    library.NewMaterial(spikeMaterialName, 1, 1, 1, 1, "data/spike.tga");
    library.NewMaterial(multiplyBubbleMaterialName, 0.09f, 0.9f, 0.09f, 1, "data/bubble1.tga");
}
