// Held-key queries: the keyboard's own (the device's), plus keys held on a device standing in
// for the keyboard and keys held by tests.
#include <set>

#include "engine/device.h"

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
    return testKeys().count(sym) || deviceKeys().count(sym) || tslDevice().KeyHeld(sym);
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
