// Linked into every test program: headless SDL drivers and the source and build folders,
// unless the caller's environment already names them.
#include <cstdlib>

namespace {
struct TestEnvironment {
    TestEnvironment() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("ORBELLE_SOURCE_DIR", ORBELLE_TEST_SOURCE_DIR, 0);
        setenv("ORBELLE_BUILD_DIR", ORBELLE_TEST_BUILD_DIR, 0);
    }
};
const TestEnvironment testEnvironment;
} // namespace
