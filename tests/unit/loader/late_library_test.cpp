// Libraries opened at run time: a missing one, or one that lacks a function, is told once on
// stderr with its name, the reason and what the player goes without, and is then not used. One
// that is there serves every test that reaches libcurl.
#include <gtest/gtest.h>

#include <string>

#include "loader/late_library.h"

TEST(LateLibrary, AMissingLibraryOrFunctionIsToldOnceAndTheLibraryIsNotUsed) {
    // The library, the function asked for, and what dlerror says after the name.
    const char* const cases[][3] = {
        {"liborbelle-absent.so.3", "getpid", "cannot open shared object file"},
        {"libc.so.6", "orbelle_absent_function", "undefined symbol: orbelle_absent_function"},
    };
    for (const auto& [soname, function, reason] : cases) {
        LateLibrary library{soname, "no tests this run"};
        testing::internal::CaptureStderr();
        EXPECT_EQ(lateSymbol(library, function), nullptr);
        EXPECT_EQ(lateSymbol(library, "getpid"), nullptr) << "a failed library is still used";
        EXPECT_EQ(openLateLibrary(library), nullptr);
        const std::string told = testing::internal::GetCapturedStderr();
        const std::string start = std::string("orbelle: cannot open ") + soname + " (";
        EXPECT_EQ(told.substr(0, start.size()) + told.substr(told.find(')')),
                  start + "): no tests this run\n");
        EXPECT_NE(told.find(reason), std::string::npos) << told;
    }
}
