// The engine's own state. Part of its core: a program without a window keeps it too.
#include "engine/engine_state.h"

TSLEngineState& tslEngine() {
    static TSLEngineState state;
    return state;
}

void TSLSetHeadless(bool headless) {
    tslEngine().headless = headless;
}

bool TSLIsHeadless() {
    return tslEngine().headless;
}

const std::vector<TSLPrintedText>& TSLPrintedTexts() {
    return tslEngine().printedTexts;
}

void TSLClearPrintedTexts() {
    tslEngine().printedTexts.clear();
}
