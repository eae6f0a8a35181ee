#include "engine/device.h"

namespace {
TSLDevice silentDevice;
TSLDevice* deviceInUse = &silentDevice;
} // namespace

TSLDevice& tslDevice() {
    return *deviceInUse;
}

void tslUseDevice(TSLDevice& device) {
    deviceInUse = &device;
}
