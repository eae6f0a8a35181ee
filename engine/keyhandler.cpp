// Held-key queries: SDL's key state, which the game's own event polling keeps current, plus
// keys held on a device standing in for the keyboard and keys held by tests.
#include <SDL.h>

#include <set>

#include "engine/tessel.h"

namespace {
std::set<int>& testKeys() {
    static std::set<int> keys;
    return keys;
}

std::set<int>& deviceKeys() {
    static std::set<int> keys;
    return keys;
}
} // namespace

bool TSLKeyhandler::IsKeydown(int sym) {
    if (testKeys().count(sym) || deviceKeys().count(sym))
        return true;
    if (sym < 0 || SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    int count = 0;
    const Uint8* state = SDL_GetKeyState(&count);
    return state && sym < count && state[sym] != 0;
}

void TSLKeyhandler::SetTestKey(int sym, bool held) {
    if (held)
        testKeys().insert(sym);
    else
        testKeys().erase(sym);
}

void TSLKeyhandler::SetDeviceKey(int sym, bool held) {
    if (held)
        deviceKeys().insert(sym);
    else
        deviceKeys().erase(sym);
}

void TSLKeyhandler::ClearTestKeys() {
    testKeys().clear();
}
