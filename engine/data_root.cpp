#include "engine/data_root.h"

namespace {
std::string dataRoot;
} // namespace

void TSLSetDataRoot(const std::string& folder) {
    dataRoot = folder;
}

std::string tslDataPath(const char* file) {
    if (!file)
        return std::string();
    if (dataRoot.empty() || file[0] == '/')
        return file;
    return dataRoot + "/" + file;
}
